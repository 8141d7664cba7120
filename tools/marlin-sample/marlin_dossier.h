// One sample Marlin company dossier, generated from a seed and a size: the
// company list, the dossier-wide tables and, per book year, the periods,
// journals, VAT codes and the accounting lines with their matching entries.
// The content is chosen to exercise every conversion rule (see the notes in
// marlin_dossier.cpp); the same options always give the same dossier.
//
// Small tables are held in memory. Accounting lines are streamed, so a book
// year of millions of lines is generated in constant memory and in time
// proportional to its size.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet4_writer.h"

namespace marlin {

using jet4::Column;
using jet4::Type;
using jet4::Value;
using Row = std::vector<Value>;

// A table under its bare Marlin name ("AcctCustomer", "Historic", ...); each
// form adds its own prefix.
struct TableData {
  std::string name;
  std::vector<Column> columns;
  std::vector<Row> rows;
  int column(std::string_view name) const;  // -1 when absent (any letter case)
};

// Which cases of the migration report the dossier holds (report_variants.h).
enum class Variant { Seeded, Clean, NumberTooLong };

struct Options {
  std::string company = "001";  // three digits, optionally preceded by "E"
  int years = 2;                // book years 00 .. years-1, the last the newest
  int64_t lines = 200;          // accounting lines per book year
  uint64_t seed = 1;
  // The older Access layout with the IBAN1/BIC1 columns all the same, so that
  // every form holds the same data (imports of the three forms compared).
  bool olderLayoutIban = false;
  Variant variant = Variant::Seeded;
};

// Receives the accounting lines of one book year in the order they are
// stored, each followed by the matching entries that refer to it once both
// sides exist.
class EntrySink {
 public:
  virtual ~EntrySink() = default;
  virtual void historic(const Row& row) = 0;
  virtual void checking(const Row& row) = 0;
};

class Dossier {
 public:
  static constexpr int64_t kMinLines = 14;
  static constexpr int kNewestCalendarYear = 2025;

  // Throws std::invalid_argument (French / Dutch message) on bad options.
  explicit Dossier(Options options);

  const Options& options() const { return options_; }
  int societyId() const;            // the company number in the company list
  std::string companyName() const;

  TableData societyList() const;
  // version, dParam, AcctCustomer, AcctSupplier, AcctGeneral, Category,
  // PayType. Older dossiers predate the IBAN1/BIC1 columns.
  std::vector<TableData> companyTables(bool withIban = true) const;

  int calendarYear(int year) const;
  // Period, journal, VATCode of one book year (0 .. years-1).
  std::vector<TableData> yearTables(int year) const;

  static std::vector<Column> historicColumns();
  static std::vector<Column> checkingColumns();
  void generateEntries(int year, EntrySink& sink) const;

  // Master data the entries refer to.
  struct Party {
    std::string id;
    std::string country;  // "" for Belgian parties stored without a country
  };
  const std::vector<Party>& customers() const { return customers_; }
  const std::vector<Party>& suppliers() const { return suppliers_; }

 private:
  TableData partyTable(bool customers, bool withIban) const;

  Options options_;
  std::vector<Party> customers_, suppliers_;
  int customerCount_ = 0, supplierCount_ = 0;
};

}  // namespace marlin
