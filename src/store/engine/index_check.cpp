#include "store/engine/index_check.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "store/engine/cdx_file.h"
#include "store/engine/codepage.h"
#include "store/engine/key_proofs.h"
#include "store/engine/table.h"

namespace store {
namespace {

std::string printable(std::string_view key) {
  std::string out;
  for (unsigned char c : key) {
    if (c >= 0x20 && c != 0x7F) {
      out += static_cast<char>(c);
    } else {
      static const char hex[] = "0123456789ABCDEF";
      out.push_back('\\');
      out.push_back('x');
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  std::string quoted(1, '"');
  quoted += fromCp1252(out);
  quoted += '"';
  return quoted;
}

base::Bilingual compare(const cdx::TagKeys& file, const cdx::TagKeys& want) {
  using base::Bilingual;
  const cdx::TagSpec& a = file.info;
  const cdx::TagSpec& b = want.info;
  if (a.keyLength != b.keyLength) {
    const std::string stored = std::to_string(a.keyLength), given = std::to_string(b.keyLength);
    return Bilingual("longueur de clé " + stored + ", l'expression donne " + given,
                     "sleutellengte " + stored + ", de expressie geeft " + given);
  }
  if (a.keyType != b.keyType)
    return Bilingual("type de clé différent de celui de l'expression", "sleuteltype verschilt van dat van de expressie");
  if (a.unique != b.unique) return Bilingual("indicateur unique différent", "uniek-vlag verschilt");
  if (a.descending != b.descending) return Bilingual("ordre de tri différent", "sorteervolgorde verschilt");
  size_t n = std::min(file.count(), want.count());
  for (size_t i = 0; i < n; ++i) {
    if (file.key(i) != want.key(i) || file.recnos[i] != want.recnos[i]) {
      const std::string at = std::to_string(i + 1);
      const std::string stored = printable(file.key(i)) + " record " + std::to_string(file.recnos[i]);
      const std::string given = printable(want.key(i)) + " record " + std::to_string(want.recnos[i]);
      return Bilingual("entrée " + at + " : le fichier a " + stored + ", les enregistrements donnent " + given,
                       "ingang " + at + ": het bestand heeft " + stored + ", de records geven " + given);
    }
  }
  if (file.count() != want.count()) {
    const std::string stored = std::to_string(file.count()), given = std::to_string(want.count());
    return Bilingual(stored + " clés dans le fichier, " + given + " d'après les enregistrements",
                     stored + " sleutels in het bestand, " + given + " uit de records");
  }
  return {};
}

// The records' keys of each tag, computed on a second thread one tag ahead of
// the file's keys being read and compared, in the order the file holds the
// tags: the check of a large table then takes both processors, with at most
// one tag more in memory.
class KeysAhead {
 public:
  KeysAhead(const Table& table, std::vector<std::string> order) : table_(table), order_(std::move(order)) {
    if (!order_.empty() && table.recordCount() >= kWorthAThread) worker_ = std::thread([this] { run(); });
  }
  ~KeysAhead() { stopWorker(); }

  // The keys of the tag the file hands over next.
  cdx::TagKeys take(const std::string& name) {
    if (worker_.joinable()) {
      std::unique_lock<std::mutex> hold(m_);
      changed_.wait(hold, [&] { return !ready_.empty() || done_; });
      if (!ready_.empty() && ready_.front().info.name == name) {
        cdx::TagKeys keys = std::move(ready_.front());
        ready_.pop_front();
        changed_.notify_all();
        return keys;
      }
    }
    // Not the tag expected (or no thread for a small table): computed here,
    // never while the thread evaluates the same expressions.
    stopWorker();
    return table_.computeKeys(static_cast<size_t>(table_.tagIndex(name)));
  }

 private:
  static constexpr uint32_t kWorthAThread = 50000;

  void stopWorker() {
    {
      std::lock_guard<std::mutex> hold(m_);
      stop_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
  }

  void run() {
    for (const std::string& name : order_) {
      {
        std::unique_lock<std::mutex> hold(m_);
        changed_.wait(hold, [&] { return ready_.empty() || stop_; });
        if (stop_) break;
      }
      cdx::TagKeys keys = table_.computeKeys(static_cast<size_t>(table_.tagIndex(name)));
      std::lock_guard<std::mutex> hold(m_);
      ready_.push_back(std::move(keys));
      changed_.notify_all();
    }
    std::lock_guard<std::mutex> hold(m_);
    done_ = true;
    changed_.notify_all();
  }

  const Table& table_;
  const std::vector<std::string> order_;
  std::mutex m_;
  std::condition_variable changed_;
  std::deque<cdx::TagKeys> ready_;
  bool stop_ = false, done_ = false;
  std::thread worker_;
};

}  // namespace

std::vector<TagCheck> checkIndexes(const std::filesystem::path& dbfPath) {
  std::vector<TagCheck> out;
  base::Bilingual error;
  auto table = Table::open(dbfPath, error, Table::OpenMode::ReadOnly);
  if (!table) {
    out.push_back(TagCheck{"", 0, false, error});
    return out;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(table->indexPath(), ec)) return out;
  std::vector<cdx::TagSpec> stored;
  if (!cdx::readCdxSpecs(table->indexPath(), stored, error)) {
    out.push_back(TagCheck{"", 0, false, error});
    return out;
  }
  // The tags from their expressions first: the key type each one gives decides
  // how the stored keys read back (numeric and date keys are not text).
  std::map<std::string, base::Bilingual> notCompiled;
  for (const cdx::TagSpec& s : stored)
    if (!table->addTag(TagDef{s.name, s.keyExpr, s.forExpr, s.unique, s.descending}, error)) notCompiled[s.name] = error;
  std::vector<cdx::TagSpec> typed;
  for (size_t i = 0; i < table->tagCount(); ++i) typed.push_back(table->tagSpec(i));
  // One tag at a time, each compared as soon as it is read: the file's keys
  // and the records' keys of every tag together would double the memory the
  // table itself takes. A fault in any tag fails the file as a whole.
  // Records whose keys this process wrote: the keys are compared by digest,
  // and computed only for a tag whose digest differs.
  const std::optional<Digest> records = table->recordsDigest();
  const bool remembered = records && keysRemembered(*records);
  std::vector<std::string> order;
  for (const cdx::TagSpec& s : stored)
    if (!notCompiled.count(s.name) && !remembered) order.push_back(s.name);
  KeysAhead ahead(*table, std::move(order));
  const bool read = cdx::readCdxKeys(
      table->indexPath(), table->recordCount(), typed,
      [&](cdx::TagKeys& tk) {
        TagCheck c;
        c.tag = tk.info.name;
        c.keyCount = tk.count();
        auto failed = notCompiled.find(tk.info.name);
        if (failed != notCompiled.end())
          c.problem = failed->second;
        else if (remembered && keysProven(*records, tagKeysDigest(tk)))
          c.fromWrite = true;
        else
          c.problem = compare(tk, ahead.take(tk.info.name));
        c.ok = c.problem.empty();
        out.push_back(std::move(c));
      },
      error);
  if (!read) out.assign(1, TagCheck{"", 0, false, error});
  return out;
}

}  // namespace store
