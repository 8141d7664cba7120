#include "convert/master/codes.h"

#include <initializer_list>

#include "base/text.h"

namespace convert {
using namespace base;

std::string NormalizeAccount(std::string_view account, int16_t length) {
  size_t width = length > 0 ? static_cast<size_t>(length) : 0;
  std::string number = Trim(Left(Trim(account), 8));
  size_t count = charCount(number);
  if (count < width) number.append(width - count, '0');
  return Left(number, width);
}

std::string MapLanguageCode(std::string_view id) {
  if (id == "0") return "F";
  if (id == "1") return "N";
  if (id == "2") return "E";
  if (id == "3") return "G";
  return std::string(id);
}

int16_t BankAccountCheckDigits(std::string_view firstTen) {
  // Ten digits reach 9,999,999,999: wider than 32 bits.
  int64_t x = static_cast<int64_t>(Val(firstTen));
  int64_t r = x - 97 * (x / 97);
  return static_cast<int16_t>(r == 0 ? 97 : r);
}

std::string FormatBelgianBankAccount(std::string_view account) {
  std::string number = Trim(account);
  if (number.size() != 12) return {};
  // A number with anything but digits has no check value; it is dropped like
  // an account whose check part is wrong.
  for (char c : number) {
    if (c < '0' || c > '9') return {};
  }
  std::string check = number.substr(10, 2);
  if (BankAccountCheckDigits(number.substr(0, 10)) != static_cast<int16_t>(Val(check))) return {};
  return number.substr(0, 3) + "-" + number.substr(3, 7) + "-" + check;
}

std::string FormatVatNumber(std::string_view vatNumber, std::string_view country) {
  std::string number = Trim(vatNumber);
  if (country != "BE") return number;
  if (charCount(number) != 9) number = Right(number, 9);
  return Mid(number, 1, 3) + "." + Mid(number, 4, 3) + "." + Mid(number, 7, 3);
}

std::string formatCompanyVatNumber(std::string_view prefix, std::string_view vatNumber) {
  std::string result(prefix);
  std::string number = Trim(vatNumber);
  if (number.empty()) return result;
  switch (charCount(number)) {
    case 9:
      return result + "0" + Mid(number, 1, 3) + "." + Mid(number, 4, 3) + "." + Right(number, 3);
    case 10:
      return result + Mid(number, 1, 4) + "." + Mid(number, 5, 3) + "." + Right(number, 3);
    default:
      return result + std::string(vatNumber);
  }
}

namespace {

struct Label {
  std::initializer_list<const char*> inputs;
  const char* result;
};

bool matches(const Label& label, const std::string& key) {
  for (const char* input : label.inputs) {
    if (key == input) return true;
  }
  return false;
}

const Label kFrenchLabels[] = {
    {{"jan", "1", "01"}, "Jan"},
    {{"fev", "fév", "feb", "2", "02"}, "Fév"},
    {{"maa", "mar", "3", "03"}, "Mar"},
    {{"apr", "avr", "4", "04"}, "Avr"},
    {{"mei", "mai", "5", "05"}, "Mai"},
    {{"jun", "jui", "6", "06"}, "Jun"},
    {{"jul", "7", "07"}, "Jul"},
    {{"aou", "aug", "8", "08"}, "Aoû"},
    {{"sep", "9", "09"}, "Sep"},
    {{"okt", "oct", "10"}, "Oct"},
    {{"nov", "11"}, "Nov"},
    {{"dec", "déc", "12"}, "Déc"},
    {{"1tr", "kw1", "q 1"}, "Tr1"},
    {{"2tr", "kw2", "q 2"}, "Tr2"},
    {{"3tr", "kw3", "q 3"}, "Tr3"},
    {{"4tr", "kw4", "q 4"}, "Tr4"},
    {{"afs", "clo"}, "Clô"},
    {{"ovr", "rep"}, "Rep"},
};

// Inputs with their Dutch and English labels.
struct Translation {
  std::initializer_list<const char*> inputs;
  const char* dutch;
  const char* english;
};

const Translation kTranslations[] = {
    {{"jan"}, "Jan", "Jan"},
    {{"fev", "fév", "feb"}, "Feb", "Feb"},
    {{"maa", "mar"}, "Maa", "Mar"},
    {{"apr", "avr"}, "Apr", "Apr"},
    {{"mei", "mai"}, "Mei", "May"},
    {{"jun", "jui"}, "Jun", "Jun"},
    {{"jul"}, "Jul", "Jul"},
    {{"aou", "aoû", "aug"}, "Aug", "Aug"},
    {{"sep"}, "Sep", "Sep"},
    {{"okt", "oct"}, "Okt", "Oct"},
    {{"nov"}, "Nov", "Nov"},
    {{"dec", "déc"}, "Dec", "Dec"},
    {{"1tr", "kw1", "tr1"}, "Tr1", "Tr1"},
    {{"2tr", "kw2", "tr2"}, "Tr2", "Tr2"},
    {{"3tr", "kw3", "tr3"}, "Tr3", "Tr3"},
    {{"4tr", "kw4", "tr4"}, "Tr4", "Tr4"},
    {{"afs", "clo", "clô"}, "Afs", "Clo"},
    {{"ovr", "rep"}, "Ope", "Ope"},
};

const Translation* findTranslation(const std::string& label) {
  std::string key = lowerCase(Trim(label));
  for (const Translation& t : kTranslations) {
    for (const char* input : t.inputs) {
      if (key == input) return &t;
    }
  }
  return nullptr;
}

}  // namespace

std::string ProperFR(std::string_view cString) {
  std::string key = lowerCase(Trim(cString));
  for (const Label& label : kFrenchLabels) {
    if (matches(label, key)) return label.result;
  }
  return {};
}

std::string FR2NL(std::string& cPer) {
  if (const Translation* t = findTranslation(cPer)) cPer = t->dutch;
  return cPer;
}

std::string FR2UK(std::string& cPer) {
  if (const Translation* t = findTranslation(cPer)) cPer = t->english;
  return cPer;
}

namespace {

// Byte position of the entry of `key` in `list`, npos when absent. Case
// mapping keeps byte lengths, so positions in the upper-cased copy are valid
// in the original.
size_t findEntry(std::string_view list, std::string_view key) {
  std::string haystack = upperCase(',' + std::string(list));
  size_t at = haystack.find(',' + upperCase(key) + '=');
  return at;  // the comma in front sits one before the entry: same index in `list`
}

}  // namespace

std::string listValue(std::string_view list, std::string_view key) {
  size_t at = findEntry(list, key);
  if (at == std::string::npos) return {};
  std::string_view entry = list.substr(at);
  entry = entry.substr(0, entry.find(','));
  size_t eq = entry.find('=');
  return Trim(entry.substr(eq + 1));
}

std::string replaceListValue(std::string_view list, std::string_view key, std::string_view value) {
  std::string current = Trim(list);
  std::string entry = std::string(key) + "=" + std::string(value);
  size_t at = findEntry(current, key);
  if (at == std::string::npos) return current.empty() ? entry : current + "," + entry;
  size_t next = current.find(',', at);
  return current.substr(0, at) + entry + (next == std::string::npos ? "" : current.substr(next));
}

}  // namespace convert
