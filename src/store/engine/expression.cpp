#include "store/engine/expression.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "base/bilingual.h"
#include "base/text.h"
#include "store/engine/codepage.h"

namespace store {
namespace expr {

// The longest text a character expression may give: beyond it widths would
// stop meaning anything (a key holds 240 bytes, a field 254).
constexpr int kMaxTextWidth = 65535;
// Bounds the size of the tree, and so the depth of every walk through it.
constexpr int kMaxTokens = 1000;
constexpr int kMaxStrWidth = 255;
constexpr int kMaxStrDecimals = 18;

// A number used as a count or a width, brought into [lo, hi]: converting a
// double outside the range of int (or not a number) to int is undefined.
int boundedInt(double v, int lo, int hi) {
  if (!(v >= lo)) return lo;  // NaN too
  if (v >= hi) return hi;
  return static_cast<int>(v);
}

// Nodes carry their static type; each implements the evaluation of that type.
// Character nodes append to the caller's buffer, so a whole key is built in
// one string; nodes that need an intermediate text keep a scratch buffer.
class Node {
 public:
  explicit Node(ValueType t, int w = 0) : type(t), width(w) {}
  virtual ~Node() = default;
  virtual void text(const RecordRef&, std::string&) const {}
  virtual double num(const RecordRef&) const { return 0; }
  virtual int32_t date(const RecordRef&) const { return 0; }
  virtual bool logic(const RecordRef&) const { return false; }
  virtual bool constant() const { return false; }
  // The text of a character node that lies ready somewhere (a field in the
  // record, a constant), so that a comparison need not copy it; false when it
  // has to be built.
  virtual bool view(const RecordRef&, std::string_view&) const { return false; }
  ValueType type;
  int width;
};
using NodeP = std::unique_ptr<Node>;
using B = base::Bilingual;

namespace {

class TextConst : public Node {
 public:
  explicit TextConst(std::string v) : Node(ValueType::Character, static_cast<int>(v.size())), v_(std::move(v)) {}
  void text(const RecordRef&, std::string& out) const override { out += v_; }
  bool constant() const override { return true; }
  bool view(const RecordRef&, std::string_view& out) const override {
    out = v_;
    return true;
  }

 private:
  std::string v_;
};

class NumConst : public Node {
 public:
  explicit NumConst(double v) : Node(ValueType::Numeric), v(v) {}
  double num(const RecordRef&) const override { return v; }
  bool constant() const override { return true; }
  double v;
};

class LogicConst : public Node {
 public:
  explicit LogicConst(bool v) : Node(ValueType::Logical), v_(v) {}
  bool logic(const RecordRef&) const override { return v_; }
  bool constant() const override { return true; }

 private:
  bool v_;
};

class Field : public Node {
 public:
  Field(const FieldDef& f, ValueType t) : Node(t, f.width), off_(f.offset), len_(f.width) {}
  void text(const RecordRef& r, std::string& out) const override { out.append(r.data + off_, len_); }
  bool view(const RecordRef& r, std::string_view& out) const override {
    if (type != ValueType::Character) return false;
    out = std::string_view(r.data + off_, len_);
    return true;
  }
  double num(const RecordRef& r) const override { return parseNumber(std::string_view(r.data + off_, len_)); }
  int32_t date(const RecordRef& r) const override { return parseDateField(std::string_view(r.data + off_, len_)); }
  bool logic(const RecordRef& r) const override {
    char c = r.data[off_];
    return c == 'T' || c == 't' || c == 'Y' || c == 'y';
  }

 private:
  uint32_t off_;
  uint32_t len_;
};

class Deleted : public Node {
 public:
  Deleted() : Node(ValueType::Logical) {}
  bool logic(const RecordRef& r) const override { return r.data[0] == '*'; }
};

class Recno : public Node {
 public:
  Recno() : Node(ValueType::Numeric) {}
  double num(const RecordRef& r) const override { return r.recno; }
};

class Iif : public Node {
 public:
  Iif(NodeP c, NodeP a, NodeP b)
      : Node(a->type, std::max(a->width, b->width)), c_(std::move(c)), a_(std::move(a)), b_(std::move(b)) {}
  void text(const RecordRef& r, std::string& out) const override {
    (c_->logic(r) ? a_ : b_)->text(r, out);
  }
  double num(const RecordRef& r) const override { return (c_->logic(r) ? a_ : b_)->num(r); }
  int32_t date(const RecordRef& r) const override { return (c_->logic(r) ? a_ : b_)->date(r); }
  bool logic(const RecordRef& r) const override { return (c_->logic(r) ? a_ : b_)->logic(r); }

 private:
  NodeP c_, a_, b_;
};

class Concat : public Node {
 public:
  Concat(NodeP a, NodeP b, bool trimLeft)
      : Node(ValueType::Character, a->width + b->width), a_(std::move(a)), b_(std::move(b)), trim_(trimLeft) {}
  void text(const RecordRef& r, std::string& out) const override {
    size_t start = out.size();
    a_->text(r, out);
    if (!trim_) {
      b_->text(r, out);
      return;
    }
    // xBase "-" on text: trailing blanks of the left part move to the end.
    size_t end = out.size();
    while (end > start && out[end - 1] == ' ') --end;
    size_t moved = out.size() - end;
    out.resize(end);
    b_->text(r, out);
    out.append(moved, ' ');
  }

 private:
  NodeP a_, b_;
  bool trim_;
};

class Arith : public Node {
 public:
  Arith(char op, NodeP a, NodeP b, ValueType t) : Node(t), op_(op), a_(std::move(a)), b_(std::move(b)) {}
  double num(const RecordRef& r) const override {
    if (a_->type == ValueType::Date && b_->type == ValueType::Date) {
      int32_t x = a_->date(r), y = b_->date(r);
      return (x && y) ? static_cast<double>(x) - y : 0;
    }
    double x = a_->num(r), y = b_->num(r);
    switch (op_) {
      case '+': return x + y;
      case '-': return x - y;
      case '*': return x * y;
      case '/': return y == 0 ? 0 : x / y;
      default: return 0;
    }
  }
  int32_t date(const RecordRef& r) const override {
    // date +/- days, or days + date
    const NodeP& d = a_->type == ValueType::Date ? a_ : b_;
    const NodeP& n = a_->type == ValueType::Date ? b_ : a_;
    int32_t base = d->date(r);
    if (!base) return 0;
    // Whole days, as xBase drops the fraction; a date outside the calendar
    // (or an overflow of the day count) gives a blank date.
    const double days = std::trunc(n->num(r));
    const double result = op_ == '-' ? base - days : base + days;
    return result >= 1 && result <= kLastJulianDay ? static_cast<int32_t>(result) : 0;
  }

 private:
  char op_;
  NodeP a_, b_;
};

class Negate : public Node {
 public:
  explicit Negate(NodeP a) : Node(ValueType::Numeric), a_(std::move(a)) {}
  double num(const RecordRef& r) const override { return -a_->num(r); }

 private:
  NodeP a_;
};

enum class Rel { Eq, Exact, Ne, Lt, Le, Gt, Ge };

int compareBlankPadded(std::string_view a, std::string_view b) {
  size_t n = std::max(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : ' ';
    unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : ' ';
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

class Compare : public Node {
 public:
  Compare(Rel rel, NodeP a, NodeP b) : Node(ValueType::Logical), rel_(rel), a_(std::move(a)), b_(std::move(b)) {}
  bool logic(const RecordRef& r) const override {
    int c = 0;
    switch (a_->type) {
      case ValueType::Character: {
        std::string_view x, y;
        if (!a_->view(r, x)) {
          sa_.clear();
          a_->text(r, sa_);
          x = sa_;
        }
        if (!b_->view(r, y)) {
          sb_.clear();
          b_->text(r, sb_);
          y = sb_;
        }
        if (rel_ == Rel::Eq || rel_ == Rel::Ne) {
          // EXACT off: the right operand's length decides how much is compared.
          bool eq = x.size() >= y.size() && std::memcmp(x.data(), y.data(), y.size()) == 0;
          return rel_ == Rel::Eq ? eq : !eq;
        }
        if (rel_ == Rel::Exact) return x == y;
        c = compareBlankPadded(x, y);
        break;
      }
      case ValueType::Numeric: {
        double x = a_->num(r), y = b_->num(r);
        c = x < y ? -1 : x > y ? 1 : 0;
        break;
      }
      case ValueType::Date: {
        int32_t x = a_->date(r), y = b_->date(r);
        c = x < y ? -1 : x > y ? 1 : 0;
        break;
      }
      case ValueType::Logical: {
        bool x = a_->logic(r), y = b_->logic(r);
        c = x == y ? 0 : (x ? 1 : -1);
        break;
      }
    }
    switch (rel_) {
      case Rel::Eq:
      case Rel::Exact: return c == 0;
      case Rel::Ne: return c != 0;
      case Rel::Lt: return c < 0;
      case Rel::Le: return c <= 0;
      case Rel::Gt: return c > 0;
      case Rel::Ge: return c >= 0;
    }
    return false;
  }

 private:
  Rel rel_;
  NodeP a_, b_;
  mutable std::string sa_, sb_;
};

class Logic : public Node {
 public:
  Logic(char op, NodeP a, NodeP b) : Node(ValueType::Logical), op_(op), a_(std::move(a)), b_(std::move(b)) {}
  bool logic(const RecordRef& r) const override {
    if (op_ == '!') return !a_->logic(r);
    if (op_ == '&') return a_->logic(r) && b_->logic(r);
    return a_->logic(r) || b_->logic(r);
  }

 private:
  char op_;
  NodeP a_, b_;
};

class Empty : public Node {
 public:
  explicit Empty(NodeP a) : Node(ValueType::Logical), a_(std::move(a)) {}
  bool logic(const RecordRef& r) const override {
    switch (a_->type) {
      case ValueType::Character:
        s_.clear();
        a_->text(r, s_);
        return s_.find_first_not_of(" \t\r\n") == std::string::npos;
      case ValueType::Numeric: return a_->num(r) == 0;
      case ValueType::Date: return a_->date(r) == 0;
      case ValueType::Logical: return !a_->logic(r);
    }
    return true;
  }

 private:
  NodeP a_;
  mutable std::string s_;
};

class Upper : public Node {
 public:
  Upper(NodeP a, bool lower) : Node(ValueType::Character, a->width), a_(std::move(a)), lower_(lower) {}
  void text(const RecordRef& r, std::string& out) const override {
    size_t start = out.size();
    a_->text(r, out);
    if (!lower_) {
      upper1252InPlace(out.data() + start, out.data() + out.size());
      return;
    }
    for (size_t i = start; i < out.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(out[i]);
      if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) out[i] = static_cast<char>(c + 0x20);
    }
  }

 private:
  NodeP a_;
  bool lower_;
};

class Space : public Node {
 public:
  Space(NodeP n, int w) : Node(ValueType::Character, w), n_(std::move(n)) {}
  void text(const RecordRef& r, std::string& out) const override {
    double n = n_->num(r);
    out.append(size_t(boundedInt(n, 0, kMaxTextWidth)), ' ');
  }

 private:
  NodeP n_;
};

class Str : public Node {
 public:
  Str(NodeP v, NodeP w, NodeP d, int width)
      : Node(ValueType::Character, width), v_(std::move(v)), w_(std::move(w)), d_(std::move(d)) {}
  void text(const RecordRef& r, std::string& out) const override {
    int w = w_ ? boundedInt(w_->num(r), 0, kMaxStrWidth) : 10;
    if (w < 1) w = 10;
    const int d = d_ ? boundedInt(d_->num(r), 0, kMaxStrDecimals) : 0;
    appendNumber(out, v_->num(r), w, d);
  }

 private:
  NodeP v_, w_, d_;
};

class Val : public Node {
 public:
  explicit Val(NodeP a) : Node(ValueType::Numeric), a_(std::move(a)) {}
  double num(const RecordRef& r) const override {
    std::string_view text;
    if (a_->view(r, text)) return parseNumber(text);
    s_.clear();
    a_->text(r, s_);
    return parseNumber(s_);
  }

 private:
  NodeP a_;
  mutable std::string s_;
};

class Dtos : public Node {
 public:
  explicit Dtos(NodeP a) : Node(ValueType::Character, 8), a_(std::move(a)) {}
  void text(const RecordRef& r, std::string& out) const override { appendDateField(out, a_->date(r)); }

 private:
  NodeP a_;
};

class Trim : public Node {
 public:
  Trim(NodeP a, bool left, bool right) : Node(ValueType::Character, a->width), a_(std::move(a)), l_(left), r_(right) {}
  void text(const RecordRef& r, std::string& out) const override {
    size_t start = out.size();
    a_->text(r, out);
    if (r_) {
      size_t end = out.size();
      while (end > start && out[end - 1] == ' ') --end;
      out.resize(end);
    }
    if (l_) {
      size_t p = start;
      while (p < out.size() && out[p] == ' ') ++p;
      out.erase(start, p - start);
    }
  }

 private:
  NodeP a_;
  bool l_, r_;
};

// ---- tokens and parser ----

enum class Tok { End, Ident, Number, String, True, False, And, Or, Not, LParen, RParen, Comma, Op };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // identifier (upper case), string value, operator
  double number = 0;
  size_t pos = 0;
};

std::string upperAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

class Parser {
 public:
  Parser(std::string_view text, const std::vector<FieldDef>& fields) : src_(text), fields_(fields) {}

  NodeP parseAll() {
    advance();
    NodeP n = parseOr();
    if (n && cur_.kind != Tok::End) fail(B("inattendu : '", "onverwacht: '") + tokenText() + "'");
    return ok() ? std::move(n) : nullptr;
  }
  const base::Bilingual& error() const { return error_; }

 private:
  bool ok() const { return error_.empty(); }
  void fail(const base::Bilingual& what) {
    const std::string at = std::to_string(cur_.pos + 1);
    if (error_.empty()) error_ = what + B(" à la position " + at, " op positie " + at);
  }
  base::Bilingual tokenText() const {
    if (cur_.kind == Tok::End) return B("fin de l'expression", "einde van de expressie");
    return base::Bilingual::same(std::string(src_.substr(cur_.pos, std::max<size_t>(1, len_))));
  }

  void advance() {
    if (++tokens_ > kMaxTokens) fail(B("expression trop longue", "expressie te lang"));
    size_t i = next_;
    while (i < src_.size() && std::isspace(static_cast<unsigned char>(src_[i]))) ++i;
    cur_ = Token();
    cur_.pos = i;
    len_ = 1;
    if (i >= src_.size()) {
      next_ = i;
      return;
    }
    char c = src_[i];
    auto startsWord = [&](size_t at, std::string_view w) {
      if (at + w.size() > src_.size()) return false;
      for (size_t k = 0; k < w.size(); ++k)
        if (std::toupper(static_cast<unsigned char>(src_[at + k])) != w[k]) return false;
      return true;
    };
    if (c == '.') {
      static const std::pair<std::string_view, Tok> dotted[] = {
          {".AND.", Tok::And}, {".OR.", Tok::Or}, {".NOT.", Tok::Not}, {".T.", Tok::True},
          {".F.", Tok::False}, {".Y.", Tok::True}, {".N.", Tok::False}};
      for (const auto& [w, k] : dotted) {
        if (startsWord(i, w)) {
          cur_.kind = k;
          next_ = i + w.size();
          len_ = w.size();
          return;
        }
      }
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || (c == '.' && i + 1 < src_.size() && std::isdigit(static_cast<unsigned char>(src_[i + 1])))) {
      size_t j = i;
      while (j < src_.size() && (std::isdigit(static_cast<unsigned char>(src_[j])) || src_[j] == '.')) ++j;
      cur_.kind = Tok::Number;
      cur_.number = parseNumber(src_.substr(i, j - i));
      next_ = j;
      len_ = j - i;
      return;
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t j = i;
      while (j < src_.size() && (std::isalnum(static_cast<unsigned char>(src_[j])) || src_[j] == '_')) ++j;
      // alias.field and alias->field name a field of this table
      if (j + 1 < src_.size() && ((src_[j] == '.' && std::isalpha(static_cast<unsigned char>(src_[j + 1])) &&
                                   !startsWord(j, ".AND.") && !startsWord(j, ".OR.") && !startsWord(j, ".NOT.")) ||
                                  (src_[j] == '-' && src_[j + 1] == '>'))) {
        size_t k = j + (src_[j] == '.' ? 1 : 2);
        size_t e = k;
        while (e < src_.size() && (std::isalnum(static_cast<unsigned char>(src_[e])) || src_[e] == '_')) ++e;
        if (e > k) {
          cur_.kind = Tok::Ident;
          cur_.text = upperAscii(std::string(src_.substr(k, e - k)));
          next_ = e;
          len_ = e - i;
          return;
        }
      }
      cur_.kind = Tok::Ident;
      cur_.text = upperAscii(std::string(src_.substr(i, j - i)));
      next_ = j;
      len_ = j - i;
      // Locate conditions spell the operators as words.
      size_t look = j;
      while (look < src_.size() && std::isspace(static_cast<unsigned char>(src_[look]))) ++look;
      bool call = look < src_.size() && src_[look] == '(';
      bool word = cur_.text == "AND" || cur_.text == "OR" || cur_.text == "NOT";
      if ((!call || word) && fieldIndex(cur_.text) < 0) {
        if (cur_.text == "AND") cur_.kind = Tok::And;
        else if (cur_.text == "OR") cur_.kind = Tok::Or;
        else if (cur_.text == "NOT") cur_.kind = Tok::Not;
      }
      return;
    }
    if (c == '\'' || c == '"' || c == '[') {
      char close = c == '[' ? ']' : c;
      size_t j = src_.find(close, i + 1);
      if (j == std::string_view::npos) {
        cur_.kind = Tok::Op;
        cur_.text = "unterminated";
        fail(B("constante texte non terminée", "tekstconstante niet afgesloten"));
        next_ = src_.size();
        return;
      }
      cur_.kind = Tok::String;
      cur_.text = toCp1252(src_.substr(i + 1, j - i - 1));
      next_ = j + 1;
      len_ = j + 1 - i;
      return;
    }
    if (c == '(') { cur_.kind = Tok::LParen; next_ = i + 1; return; }
    if (c == ')') { cur_.kind = Tok::RParen; next_ = i + 1; return; }
    if (c == ',') { cur_.kind = Tok::Comma; next_ = i + 1; return; }
    static const std::string_view ops[] = {"<>", "<=", ">=", "==", "!=", "->", "=", "<", ">", "#", "+", "-", "*", "/", "!", "$"};
    for (std::string_view op : ops) {
      if (src_.substr(i, op.size()) == op) {
        cur_.kind = Tok::Op;
        cur_.text = std::string(op);
        if (op == "!") cur_.kind = Tok::Not;
        next_ = i + op.size();
        len_ = op.size();
        return;
      }
    }
    cur_.kind = Tok::Op;
    cur_.text = std::string(1, c);
    next_ = i + 1;
    fail(B("caractère inattendu '", "onverwacht teken '") + std::string(1, c) + "'");
  }

  bool isOp(std::string_view op) const { return cur_.kind == Tok::Op && cur_.text == op; }

  int fieldIndex(const std::string& name) const {
    for (size_t i = 0; i < fields_.size(); ++i)
      if (base::equalsIgnoringCase(fields_[i].name, name)) return static_cast<int>(i);
    return -1;
  }

  // Nesting is bounded so that no text, however deep, exhausts the stack.
  struct Depth {
    explicit Depth(Parser& p) : p_(p) {
      if (++p_.depth_ > 200) p_.fail(B("expression trop imbriquée", "expressie te diep genest"));
    }
    ~Depth() { --p_.depth_; }
    Parser& p_;
  };

  NodeP parseOr() {
    Depth guard(*this);
    if (!ok()) return nullptr;
    NodeP a = parseAnd();
    while (ok() && cur_.kind == Tok::Or) {
      advance();
      NodeP b = parseAnd();
      if (!ok()) return nullptr;
      if (!requireLogical(a) || !requireLogical(b)) return nullptr;
      a = std::make_unique<Logic>('|', std::move(a), std::move(b));
    }
    return a;
  }
  NodeP parseAnd() {
    NodeP a = parseNot();
    while (ok() && cur_.kind == Tok::And) {
      advance();
      NodeP b = parseNot();
      if (!ok()) return nullptr;
      if (!requireLogical(a) || !requireLogical(b)) return nullptr;
      a = std::make_unique<Logic>('&', std::move(a), std::move(b));
    }
    return a;
  }
  NodeP parseNot() {
    Depth guard(*this);
    if (!ok()) return nullptr;
    if (cur_.kind == Tok::Not) {
      advance();
      NodeP a = parseNot();
      if (!ok() || !requireLogical(a)) return nullptr;
      return std::make_unique<Logic>('!', std::move(a), nullptr);
    }
    return parseComparison();
  }
  bool requireLogical(const NodeP& n) {
    if (n && n->type == ValueType::Logical) return true;
    fail(B("valeur logique attendue", "logische waarde verwacht"));
    return false;
  }
  NodeP parseComparison() {
    NodeP a = parseAdditive();
    if (!ok()) return nullptr;
    static const std::pair<std::string_view, Rel> rels[] = {{"=", Rel::Eq}, {"==", Rel::Exact}, {"<>", Rel::Ne},
                                                            {"#", Rel::Ne}, {"!=", Rel::Ne},   {"<", Rel::Lt},
                                                            {"<=", Rel::Le}, {">", Rel::Gt},   {">=", Rel::Ge}};
    for (const auto& [op, rel] : rels) {
      if (isOp(op)) {
        advance();
        NodeP b = parseAdditive();
        if (!ok()) return nullptr;
        if (a->type != b->type) {
          fail(B("les opérandes de " + std::string(op) + " sont de types différents",
                 "de operanden van " + std::string(op) + " hebben verschillende types"));
          return nullptr;
        }
        if (a->type == ValueType::Logical && rel != Rel::Eq && rel != Rel::Ne && rel != Rel::Exact) {
          fail(B("les valeurs logiques ne se comparent que pour l'égalité",
                 "logische waarden worden enkel op gelijkheid vergeleken"));
          return nullptr;
        }
        return std::make_unique<Compare>(rel, std::move(a), std::move(b));
      }
    }
    return a;
  }
  NodeP parseAdditive() {
    NodeP a = parseMultiplicative();
    while (ok() && (isOp("+") || isOp("-"))) {
      char op = cur_.text[0];
      advance();
      NodeP b = parseMultiplicative();
      if (!ok()) return nullptr;
      if (a->type == ValueType::Character && b->type == ValueType::Character) {
        if (a->width + b->width > kMaxTextWidth) {
          fail(B("longueur de texte hors de 0..", "tekstlengte buiten 0..") + std::to_string(kMaxTextWidth));
          return nullptr;
        }
        a = std::make_unique<Concat>(std::move(a), std::move(b), op == '-');
      } else if (a->type == ValueType::Numeric && b->type == ValueType::Numeric) {
        a = std::make_unique<Arith>(op, std::move(a), std::move(b), ValueType::Numeric);
      } else if (a->type == ValueType::Date && b->type == ValueType::Numeric) {
        a = std::make_unique<Arith>(op, std::move(a), std::move(b), ValueType::Date);
      } else if (op == '+' && a->type == ValueType::Numeric && b->type == ValueType::Date) {
        a = std::make_unique<Arith>(op, std::move(a), std::move(b), ValueType::Date);
      } else if (op == '-' && a->type == ValueType::Date && b->type == ValueType::Date) {
        a = std::make_unique<Arith>(op, std::move(a), std::move(b), ValueType::Numeric);
      } else {
        fail(B(std::string("les opérandes de ") + op + " ne s'accordent pas",
                std::string("de operanden van ") + op + " passen niet bij elkaar"));
        return nullptr;
      }
    }
    return a;
  }
  NodeP parseMultiplicative() {
    NodeP a = parseUnary();
    while (ok() && (isOp("*") || isOp("/"))) {
      char op = cur_.text[0];
      advance();
      NodeP b = parseUnary();
      if (!ok()) return nullptr;
      if (a->type != ValueType::Numeric || b->type != ValueType::Numeric) {
        fail(B("nombres attendus autour de ", "getallen verwacht rond ") + std::string(1, op));
        return nullptr;
      }
      a = std::make_unique<Arith>(op, std::move(a), std::move(b), ValueType::Numeric);
    }
    return a;
  }
  NodeP parseUnary() {
    Depth guard(*this);
    if (!ok()) return nullptr;
    if (isOp("-") || isOp("+")) {
      bool neg = cur_.text == "-";
      advance();
      NodeP a = parseUnary();
      if (!ok()) return nullptr;
      if (a->type != ValueType::Numeric) {
        fail(B("nombre attendu après le signe", "getal verwacht na het teken"));
        return nullptr;
      }
      if (!neg) return a;
      if (a->constant()) return std::make_unique<NumConst>(-static_cast<NumConst*>(a.get())->v);
      return std::make_unique<Negate>(std::move(a));
    }
    return parsePrimary();
  }

  NodeP parsePrimary() {
    Token t = cur_;
    switch (t.kind) {
      case Tok::Number: advance(); return std::make_unique<NumConst>(t.number);
      case Tok::String:
        if (t.text.size() > size_t(kMaxTextWidth)) {
          fail(B("constante texte trop longue", "tekstconstante te lang"));
          return nullptr;
        }
        advance();
        return std::make_unique<TextConst>(t.text);
      case Tok::True: advance(); return std::make_unique<LogicConst>(true);
      case Tok::False: advance(); return std::make_unique<LogicConst>(false);
      case Tok::LParen: {
        advance();
        NodeP n = parseOr();
        if (!ok()) return nullptr;
        if (cur_.kind != Tok::RParen) {
          fail(B("')' attendu", "')' verwacht"));
          return nullptr;
        }
        advance();
        return n;
      }
      case Tok::Ident: {
        advance();
        if (cur_.kind == Tok::LParen) return parseCall(t);
        int fi = fieldIndex(t.text);
        if (fi < 0) {
          cur_.pos = t.pos;
          fail(B("champ inconnu ", "onbekend veld ") + t.text);
          return nullptr;
        }
        const FieldDef& f = fields_[fi];
        switch (f.type) {
          case 'C': return std::make_unique<Field>(f, ValueType::Character);
          case 'N':
          case 'F': return std::make_unique<Field>(f, ValueType::Numeric);
          case 'D': return std::make_unique<Field>(f, ValueType::Date);
          case 'L': return std::make_unique<Field>(f, ValueType::Logical);
          default:
            cur_.pos = t.pos;
            fail(B("le champ " + t.text + " ne peut pas servir dans une expression",
                 "het veld " + t.text + " kan niet in een expressie gebruikt worden"));
            return nullptr;
        }
      }
      default:
        fail(B("inattendu : ", "onverwacht: ") + tokenText());
        return nullptr;
    }
  }

  NodeP parseCall(const Token& name) {
    advance();  // '('
    std::vector<NodeP> args;
    if (cur_.kind != Tok::RParen) {
      while (ok()) {
        NodeP a = parseOr();
        if (!ok()) return nullptr;
        args.push_back(std::move(a));
        if (cur_.kind == Tok::Comma) {
          advance();
          continue;
        }
        break;
      }
    }
    if (!ok()) return nullptr;
    if (cur_.kind != Tok::RParen) {
      fail(B("')' attendu", "')' verwacht"));
      return nullptr;
    }
    size_t callPos = name.pos;
    advance();
    const std::string& f = name.text;
    auto want = [&](size_t lo, size_t hi, std::initializer_list<ValueType> types) {
      if (args.size() < lo || args.size() > hi) {
        cur_.pos = callPos;
        fail(B("nombre d'arguments incorrect pour ", "verkeerd aantal argumenten voor ") + f);
        return false;
      }
      size_t i = 0;
      for (ValueType t : types) {
        if (i < args.size() && args[i]->type != t) {
          cur_.pos = callPos;
          fail(B("l'argument " + std::to_string(i + 1) + " de " + f + " n'a pas le bon type",
               "argument " + std::to_string(i + 1) + " van " + f + " heeft het verkeerde type"));
          return false;
        }
        ++i;
      }
      return true;
    };
    // A constant width or count known when compiling, checked against its
    // range; one computed per record is brought into the range when evaluated.
    auto constInt = [&](const NodeP& n, int fallback, int lo, int hi, const base::Bilingual& what, int& out) {
      out = fallback;
      if (!n || !n->constant()) return true;
      const double v = static_cast<NumConst*>(n.get())->v;
      if (!(v >= lo && v <= hi)) {
        cur_.pos = callPos;
        const std::string range = std::to_string(lo) + ".." + std::to_string(hi);
        fail(what + B(" de " + f + " hors de " + range, " van " + f + " buiten " + range));
        return false;
      }
      out = static_cast<int>(v);
      return true;
    };
    if (f == "IIF") {
      if (!want(3, 3, {ValueType::Logical})) return nullptr;
      if (args[1]->type != args[2]->type) {
        cur_.pos = callPos;
        fail(B("les deux branches de IIF doivent être du même type", "beide takken van IIF moeten hetzelfde type hebben"));
        return nullptr;
      }
      return std::make_unique<Iif>(std::move(args[0]), std::move(args[1]), std::move(args[2]));
    }
    if (f == "DELETED") return want(0, 0, {}) ? std::make_unique<Deleted>() : nullptr;
    if (f == "RECNO") return want(0, 0, {}) ? std::make_unique<Recno>() : nullptr;
    if (f == "EMPTY") return want(1, 1, {}) ? std::make_unique<Empty>(std::move(args[0])) : nullptr;
    if (f == "UPPER" || f == "LOWER") {
      if (!want(1, 1, {ValueType::Character})) return nullptr;
      return std::make_unique<Upper>(std::move(args[0]), f == "LOWER");
    }
    if (f == "SPACE" || f == "REPLICATE") {
      if (f == "REPLICATE") {
        cur_.pos = callPos;
        fail(B("la fonction REPLICATE n'est pas prise en charge", "de functie REPLICATE wordt niet ondersteund"));
        return nullptr;
      }
      int w = 0;
      if (!want(1, 1, {ValueType::Numeric}) || !constInt(args[0], 0, 0, kMaxTextWidth, B("la longueur", "de lengte"), w)) return nullptr;
      // A constant count (the usual case) gives a constant text.
      if (args[0]->constant()) return std::make_unique<TextConst>(std::string(size_t(w), ' '));
      return std::make_unique<Space>(std::move(args[0]), w);
    }
    if (f == "STR") {
      if (!want(1, 3, {ValueType::Numeric, ValueType::Numeric, ValueType::Numeric})) return nullptr;
      NodeP w = args.size() > 1 ? std::move(args[1]) : nullptr;
      NodeP d = args.size() > 2 ? std::move(args[2]) : nullptr;
      int width = 10, decimals = 0;
      if (!constInt(w, 10, 1, kMaxStrWidth, B("la largeur", "de breedte"), width) ||
          !constInt(d, 0, 0, kMaxStrDecimals, B("les décimales", "de decimalen"), decimals))
        return nullptr;
      return std::make_unique<Str>(std::move(args[0]), std::move(w), std::move(d), width);
    }
    if (f == "VAL") return want(1, 1, {ValueType::Character}) ? std::make_unique<Val>(std::move(args[0])) : nullptr;
    if (f == "DTOS") return want(1, 1, {ValueType::Date}) ? std::make_unique<Dtos>(std::move(args[0])) : nullptr;
    if (f == "TRIM" || f == "RTRIM" || f == "ALLTRIM" || f == "LTRIM") {
      if (!want(1, 1, {ValueType::Character})) return nullptr;
      return std::make_unique<Trim>(std::move(args[0]), f == "ALLTRIM" || f == "LTRIM", f != "LTRIM");
    }
    cur_.pos = callPos;
    fail(B("fonction inconnue ", "onbekende functie ") + f);
    return nullptr;
  }

  std::string_view src_;
  const std::vector<FieldDef>& fields_;
  Token cur_;
  size_t next_ = 0;
  size_t len_ = 1;
  int depth_ = 0;
  int tokens_ = 0;
  base::Bilingual error_;
};

}  // namespace
}  // namespace expr

Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

std::unique_ptr<Expression> Expression::compile(std::string_view text, const std::vector<FieldDef>& fields,
                                                base::Bilingual& error) {
  expr::Parser parser(text, fields);
  expr::NodeP root = parser.parseAll();
  if (!root) {
    const std::string quoted = " \"" + std::string(text) + "\": ";
    error = base::Bilingual("expression invalide" + quoted, "ongeldige expressie" + quoted) + parser.error();
    return nullptr;
  }
  std::unique_ptr<Expression> e(new Expression());
  e->text_ = std::string(text);
  e->root_ = std::move(root);
  return e;
}

ValueType Expression::type() const { return root_->type; }
int Expression::width() const {
  switch (root_->type) {
    case ValueType::Character: return root_->width;
    case ValueType::Logical: return 1;
    default: return 8;
  }
}
void Expression::evalText(const RecordRef& rec, std::string& out) const {
  switch (root_->type) {
    case ValueType::Character: root_->text(rec, out); break;
    case ValueType::Numeric: out += formatNumber(root_->num(rec), 10, 0); break;
    case ValueType::Date: out += formatDateField(root_->date(rec)); break;
    case ValueType::Logical: out += root_->logic(rec) ? 'T' : 'F'; break;
  }
}
double Expression::evalNumber(const RecordRef& rec) const { return root_->num(rec); }
int32_t Expression::evalDate(const RecordRef& rec) const { return root_->date(rec); }
bool Expression::evalLogical(const RecordRef& rec) const { return root_->logic(rec); }

}  // namespace store
