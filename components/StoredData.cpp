#include "components/StoredData.h"

#include <windows.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>

namespace {

constexpr int kMaxDepth = 64;  // nesting of objects and sub-objects; deeper text is refused

bool SameWord(const std::string& a, const char* b) {
  size_t n = std::char_traits<char>::length(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

[[noreturn]] void Fail(int line, const std::string& what) {
  throw EReadError("line " + std::to_string(line) + ": " + what);
}

// --- Lexer --------------------------------------------------------------------------------------

struct TToken {
  enum TType { tEnd, tIdent, tString, tInteger, tFloat, tSymbol };
  TType Type = tEnd;
  std::string Text;  // identifier, decoded string, symbol
  int64_t Integer = 0;
  double Float = 0;
  int Line = 1;
};

class TLexer {
 public:
  explicit TLexer(const std::string& text) : s_(text) { Advance(); }
  const TToken& Peek() const { return tok_; }
  TToken Take() {
    TToken t = tok_;
    Advance();
    return t;
  }
  // The raw hex digits after "{" up to "}" (the current token is "{").
  std::string TakeBinary() {
    int line = tok_.Line;
    std::string bytes;
    int high = -1;
    pos_ = tokEnd_;
    line_ = tokEndLine_;
    for (;;) {
      if (pos_ >= s_.size()) Fail(line, "binary data without \"}\"");
      char c = s_[pos_++];
      if (c == '}') break;
      if (c == '\n') ++line_;
      if (std::isspace(static_cast<unsigned char>(c))) continue;
      int v = HexValue(c);
      if (v < 0) Fail(line_, std::string("bad character in binary data: '") + c + "'");
      if (high < 0) {
        high = v;
      } else {
        bytes += static_cast<char>(high * 16 + v);
        high = -1;
      }
    }
    if (high >= 0) Fail(line, "binary data with an odd number of hex digits");
    Advance();
    return bytes;
  }

 private:
  static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  void SkipBlanks() {
    for (;;) {
      while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) {
        if (s_[pos_] == '\n') ++line_;
        ++pos_;
      }
      if (pos_ + 1 < s_.size() && s_[pos_] == '/' && s_[pos_ + 1] == '/') {
        while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
        continue;
      }
      break;
    }
  }

  void Advance() {
    SkipBlanks();
    tok_ = TToken();
    tok_.Line = line_;
    if (pos_ >= s_.size()) {
      tokEnd_ = pos_;
      tokEndLine_ = line_;
      return;
    }
    char c = s_[pos_];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t start = pos_;
      while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_' || s_[pos_] == '.'))
        ++pos_;
      tok_.Type = TToken::tIdent;
      tok_.Text = s_.substr(start, pos_ - start);
    } else if (c == '"') {
      ReadString();
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '$') {
      ReadNumber();
    } else if (std::string("=:()[]<>{},+-").find(c) != std::string::npos) {
      tok_.Type = TToken::tSymbol;
      tok_.Text = std::string(1, c);
      ++pos_;
    } else {
      Fail(line_, std::string("unexpected character '") + (c >= 32 && c < 127 ? std::string(1, c) : "\\x" + ToHex(c)) +
                      "'");
    }
    tokEnd_ = pos_;
    tokEndLine_ = line_;
  }

  static std::string ToHex(char c) {
    static const char* d = "0123456789ABCDEF";
    unsigned char u = static_cast<unsigned char>(c);
    return std::string{d[u >> 4], d[u & 15]};
  }

  void ReadString() {
    ++pos_;
    std::string out;
    for (;;) {
      if (pos_ >= s_.size() || s_[pos_] == '\n' || s_[pos_] == '\r') Fail(line_, "text without closing quote");
      char c = s_[pos_++];
      if (c == '"') break;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) Fail(line_, "text without closing quote");
      char e = s_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
          int h = pos_ < s_.size() ? HexValue(s_[pos_]) : -1;
          int l = pos_ + 1 < s_.size() ? HexValue(s_[pos_ + 1]) : -1;
          if (h < 0 || l < 0) Fail(line_, "\\x needs two hex digits");
          out += static_cast<char>(h * 16 + l);
          pos_ += 2;
          break;
        }
        default: Fail(line_, std::string("unknown escape \\") + e);
      }
    }
    tok_.Type = TToken::tString;
    tok_.Text = out;
  }

  void ReadNumber() {
    size_t start = pos_;
    bool hex = false;
    if (s_[pos_] == '$') {
      hex = true;
      ++pos_;
    } else if (s_[pos_] == '0' && pos_ + 1 < s_.size() && (s_[pos_ + 1] == 'x' || s_[pos_ + 1] == 'X')) {
      hex = true;
      pos_ += 2;
    }
    size_t digits = pos_;
    bool isFloat = false;
    while (pos_ < s_.size()) {
      char c = s_[pos_];
      if (hex ? HexValue(c) >= 0 : std::isdigit(static_cast<unsigned char>(c))) {
        ++pos_;
      } else if (!hex && (c == '.' || c == 'e' || c == 'E')) {
        isFloat = true;
        ++pos_;
        if ((c == 'e' || c == 'E') && pos_ < s_.size() && (s_[pos_] == '-' || s_[pos_] == '+')) ++pos_;
      } else {
        break;
      }
    }
    if (pos_ < s_.size() && (std::isalpha(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
      Fail(line_, "bad number \"" + s_.substr(start, pos_ - start + 1) + "\"");
    std::string body = s_.substr(digits, pos_ - digits);
    if (body.empty()) Fail(line_, "bad number");
    errno = 0;
    char* end = nullptr;
    if (isFloat) {
      tok_.Type = TToken::tFloat;
      tok_.Float = std::strtod(body.c_str(), &end);
    } else {
      tok_.Type = TToken::tInteger;
      unsigned long long v = std::strtoull(body.c_str(), &end, hex ? 16 : 10);
      if (errno == ERANGE || v > static_cast<unsigned long long>(INT64_MAX)) Fail(line_, "number out of range");
      tok_.Integer = static_cast<int64_t>(v);
    }
    if (errno == ERANGE || !end || *end) Fail(line_, "bad number \"" + s_.substr(start, pos_ - start) + "\"");
  }

  const std::string& s_;
  size_t pos_ = 0;
  int line_ = 1;
  size_t tokEnd_ = 0;
  int tokEndLine_ = 1;
  TToken tok_;
};

// --- Parser -------------------------------------------------------------------------------------

class TParser {
 public:
  explicit TParser(const std::string& text) : lex_(text) {}

  TStoredObject Root() {
    TStoredObject root = Object(0);
    if (lex_.Peek().Type != TToken::tEnd) Fail(lex_.Peek().Line, "text after the final \"end\"");
    return root;
  }

 private:
  bool IsWord(const char* w) const { return lex_.Peek().Type == TToken::tIdent && SameWord(lex_.Peek().Text, w); }
  bool IsSymbol(char c) const { return lex_.Peek().Type == TToken::tSymbol && lex_.Peek().Text[0] == c; }
  void Expect(char c) {
    if (!IsSymbol(c)) Fail(lex_.Peek().Line, std::string("\"") + c + "\" expected" + Found());
    lex_.Take();
  }
  std::string Found() const {
    const TToken& t = lex_.Peek();
    switch (t.Type) {
      case TToken::tEnd: return " at the end of the text";
      case TToken::tString: return ", found a text";
      case TToken::tInteger:
      case TToken::tFloat: return ", found a number";
      default: return ", found \"" + t.Text + "\"";
    }
  }
  std::string Identifier(const char* what) {
    if (lex_.Peek().Type != TToken::tIdent) Fail(lex_.Peek().Line, std::string(what) + " expected" + Found());
    return lex_.Take().Text;
  }

  TStoredObject Object(int depth) {
    if (depth > kMaxDepth) Fail(lex_.Peek().Line, "objects nested too deeply");
    if (!IsWord("object")) Fail(lex_.Peek().Line, "\"object\" expected" + Found());
    TStoredObject o;
    o.Line = lex_.Take().Line;
    if (!IsSymbol(':')) {
      o.Name = Identifier("component name");
      if (!IsValidIdent(o.Name)) Fail(o.Line, "\"" + o.Name + "\" is not a valid component name");
    }
    Expect(':');
    o.ClassName = Identifier("class name");
    for (;;) {
      if (IsWord("end")) {
        lex_.Take();
        return o;
      }
      if (IsWord("object")) {
        o.Children.push_back(Object(depth + 1));
        continue;
      }
      o.Properties.push_back(Property(depth));
    }
  }

  TStoredProperty Property(int depth) {
    TStoredProperty p;
    p.Line = lex_.Peek().Line;
    p.Path = Identifier("property name or \"end\"");
    if (p.Path.front() == '.' || p.Path.back() == '.' || p.Path.find("..") != std::string::npos)
      Fail(p.Line, "bad property name \"" + p.Path + "\"");
    Expect('=');
    p.Value = Value(depth);
    return p;
  }

  TStoredValue Value(int depth) {
    TStoredValue v;
    const TToken& t = lex_.Peek();
    v.Line = t.Line;
    if (t.Type == TToken::tString) {
      v.Kind = TStoredValue::vkString;
      v.Text = lex_.Take().Text;
      while (IsSymbol('+')) {
        lex_.Take();
        if (lex_.Peek().Type != TToken::tString) Fail(lex_.Peek().Line, "text expected after \"+\"" + Found());
        v.Text += lex_.Take().Text;
      }
    } else if (t.Type == TToken::tInteger || t.Type == TToken::tFloat || IsSymbol('-')) {
      bool negative = false;
      if (IsSymbol('-')) {
        lex_.Take();
        negative = true;
      }
      const TToken& n = lex_.Peek();
      if (n.Type == TToken::tInteger) {
        v.Kind = TStoredValue::vkInteger;
        v.Integer = negative ? -lex_.Take().Integer : lex_.Take().Integer;
      } else if (n.Type == TToken::tFloat) {
        v.Kind = TStoredValue::vkFloat;
        v.Float = negative ? -lex_.Take().Float : lex_.Take().Float;
      } else {
        Fail(n.Line, "number expected" + Found());
      }
    } else if (t.Type == TToken::tIdent) {
      v.Kind = TStoredValue::vkIdent;
      v.Text = lex_.Take().Text;
    } else if (IsSymbol('(')) {
      lex_.Take();
      v.Kind = TStoredValue::vkList;
      while (!IsSymbol(')')) {
        if (lex_.Peek().Type != TToken::tString) Fail(lex_.Peek().Line, "text or \")\" expected" + Found());
        std::string line = lex_.Take().Text;
        while (IsSymbol('+')) {
          lex_.Take();
          if (lex_.Peek().Type != TToken::tString) Fail(lex_.Peek().Line, "text expected after \"+\"" + Found());
          line += lex_.Take().Text;
        }
        v.Items.push_back(line);
      }
      lex_.Take();
    } else if (IsSymbol('[')) {
      lex_.Take();
      v.Kind = TStoredValue::vkSet;
      if (!IsSymbol(']')) {
        for (;;) {
          v.Items.push_back(Identifier("set element"));
          if (IsSymbol(']')) break;
          Expect(',');
        }
      }
      lex_.Take();
    } else if (IsSymbol('<')) {
      lex_.Take();
      v.Kind = TStoredValue::vkCollection;
      if (depth > kMaxDepth) Fail(v.Line, "objects nested too deeply");
      while (!IsSymbol('>')) {
        if (!IsWord("item")) Fail(lex_.Peek().Line, "\"item\" or \">\" expected" + Found());
        lex_.Take();
        TStoredValue::TItem item;
        while (!IsWord("end")) item.Properties.push_back(Property(depth + 1));
        lex_.Take();
        v.CollectionItems.push_back(std::move(item));
      }
      lex_.Take();
    } else if (IsSymbol('{')) {
      v.Kind = TStoredValue::vkBinary;
      v.Text = lex_.TakeBinary();
    } else {
      Fail(t.Line, "value expected" + Found());
    }
    return v;
  }

  TLexer lex_;
};

// --- Loader -------------------------------------------------------------------------------------

const char* ValueKindName(TStoredValue::TKind k) {
  switch (k) {
    case TStoredValue::vkString: return "a text";
    case TStoredValue::vkInteger: return "an integer";
    case TStoredValue::vkFloat: return "a number";
    case TStoredValue::vkIdent: return "a name";
    case TStoredValue::vkList: return "a list of texts";
    case TStoredValue::vkSet: return "a set";
    case TStoredValue::vkCollection: return "a collection";
    case TStoredValue::vkBinary: return "binary data";
  }
  return "a value";
}

class TLoader {
 public:
  explicit TLoader(TComponent* root) : root_(root) {}

  void Load(const TStoredObject& tree) {
    if (!SameWord(tree.ClassName, root_->ClassName().c_str()))
      Fail(tree.Line, "the stored data is of class " + tree.ClassName + ", not " + root_->ClassName());
    std::vector<TComponent*> loadedOrder{root_};
    root_->SetLoading(true);
    root_->SetReading(true);
    try {
      SetRootName(tree.Name);
      Guard(tree.Line, [&] { SetProperties(root_, tree.Properties); });
      for (const TStoredObject& child : tree.Children) CreateTree(child, root_, 1);
      for (const TFixup& f : fixups_) Resolve(f);
    } catch (...) {
      Rollback();
      root_->SetLoading(false);
      root_->SetReading(false);
      throw;
    }
    loadedOrder.insert(loadedOrder.end(), created_.begin(), created_.end());
    for (TComponent* c : loadedOrder) c->SetReading(false);
    for (TComponent* c : loadedOrder) c->Loaded();
  }

 private:
  struct TFixup {
    TObject* Target;
    const TPropInfo* Prop;
    std::string Name;
    int Line;
  };

  template <typename F>
  void Guard(int line, F&& f) {
    try {
      f();
    } catch (const EReadError&) {
      throw;
    } catch (const std::exception& e) {
      Fail(line, e.what());
    }
  }

  void SetRootName(const std::string& name) {
    if (name.empty() || name == root_->Name()) return;
    // A second window of the same class under one owner gets a numbered name.
    std::string candidate = name;
    TComponent* owner = root_->Owner();
    for (int n = 1; owner && owner->FindComponent(candidate) && owner->FindComponent(candidate) != root_; ++n)
      candidate = name + "_" + std::to_string(n);
    root_->SetName(candidate);
  }

  void CreateTree(const TStoredObject& o, TComponent* parent, int depth) {
    const TClassInfo* cls = FindClassFor(o.ClassName);
    if (!cls) Fail(o.Line, "class " + o.ClassName + " not found");
    if (!cls->CanCreateComponent()) Fail(o.Line, "class " + o.ClassName + " is not a component that can be created");
    TComponent* c = nullptr;
    Guard(o.Line, [&] { c = cls->CreateComponent(root_); });
    created_.push_back(c);
    c->SetLoading(true);
    c->SetReading(true);
    Guard(o.Line, [&] {
      c->SetName(o.Name);
      if (const TFieldInfo* f = root_->ClassType().FindField(o.Name)) {
        if (!c->InheritsFrom(*f->ClassType))
          Fail(o.Line, "field " + o.Name + " of " + root_->ClassName() + " is a " + f->ClassType->Name() +
                           ", the stored component a " + o.ClassName);
        f->Set(root_, c);
      }
      c->SetParentComponent(parent);
    });
    Guard(o.Line, [&] { SetProperties(c, o.Properties); });
    for (const TStoredObject& child : o.Children) CreateTree(child, c, depth + 1);
  }

  // Classes named by the root's published fields first (they are linked with the form), then
  // the registry.
  const TClassInfo* FindClassFor(const std::string& name) {
    for (const TFieldInfo* f : root_->ClassType().Fields())
      if (f->ClassType && SameWord(f->ClassType->Name(), name.c_str())) return f->ClassType;
    return FindClass(name);
  }

  void SetProperties(TObject* obj, const std::vector<TStoredProperty>& props) {
    RefuseRepeatedProperties(props);
    for (const TStoredProperty& p : props) Guard(p.Line, [&] { SetProperty(obj, p); });
  }

  // A property given twice is damaged data, not a later value winning: the second value of a
  // collection frees the items the first one made, while the reference and handler fix-ups
  // recorded for those items still wait to be resolved.
  static void RefuseRepeatedProperties(const std::vector<TStoredProperty>& props) {
    std::map<std::string, int> seen;
    for (const TStoredProperty& p : props) {
      auto first = seen.emplace(Lower(p.Path), p.Line);
      if (!first.second)
        Fail(p.Line, "property " + p.Path + " given twice (first on line " + std::to_string(first.first->second) + ")");
    }
  }

  void SetProperty(TObject* obj, const TStoredProperty& sp) {
    // Walk "Font.Name" down to the sub-object.
    std::string path = sp.Path;
    size_t dot;
    while ((dot = path.find('.')) != std::string::npos) {
      std::string head = path.substr(0, dot);
      const TPropInfo* p = GetPropInfo(obj, head);
      if (!p) Fail(sp.Line, "unknown property " + head + " of " + obj->ClassName());
      if (p->Kind != TTypeKind::tkClass) Fail(sp.Line, "property " + head + " of " + obj->ClassName() + " has no properties");
      TObject* sub = GetObjectProp(obj, *p);
      if (!sub) Fail(sp.Line, "property " + head + " of " + obj->ClassName() + " is empty");
      obj = sub;
      path = path.substr(dot + 1);
    }
    const TPropInfo* p = GetPropInfo(obj, path);
    if (!p) Fail(sp.Line, "unknown property " + path + " of " + obj->ClassName());
    SetValue(obj, *p, sp.Value);
  }

  [[noreturn]] void Mismatch(const TObject* obj, const TPropInfo& p, const TStoredValue& v) {
    Fail(v.Line, std::string("property ") + obj->ClassName() + "." + p.Name + " of type " + p.TypeName +
                     " cannot take " + ValueKindName(v.Kind));
  }

  void SetValue(TObject* obj, const TPropInfo& p, const TStoredValue& v) {
    switch (p.Kind) {
      case TTypeKind::tkSString:
      case TTypeKind::tkLString:
      case TTypeKind::tkWString:
        if (v.Kind != TStoredValue::vkString) Mismatch(obj, p, v);
        if (p.Kind == TTypeKind::tkSString && v.Text.size() > 255)
          Fail(v.Line, "text longer than 255 characters for " + p.Name);
        SetStrProp(obj, p, v.Text);
        return;
      case TTypeKind::tkBinary:
        if (v.Kind != TStoredValue::vkBinary) Mismatch(obj, p, v);
        SetStrProp(obj, p, v.Text);
        return;
      case TTypeKind::tkInteger:
      case TTypeKind::tkInt64:
        if (v.Kind != TStoredValue::vkInteger) Mismatch(obj, p, v);
        if (p.Kind == TTypeKind::tkInteger && (v.Integer < INT32_MIN || v.Integer > UINT32_MAX))
          Fail(v.Line, "number out of range for " + p.Name);
        SetOrdProp(obj, p, v.Integer);
        return;
      case TTypeKind::tkChar:
      case TTypeKind::tkWChar:
        if (v.Kind == TStoredValue::vkString && v.Text.size() == 1) {
          SetOrdProp(obj, p, static_cast<unsigned char>(v.Text[0]));
        } else if (v.Kind == TStoredValue::vkInteger) {
          SetOrdProp(obj, p, v.Integer);
        } else {
          Mismatch(obj, p, v);
        }
        return;
      case TTypeKind::tkBool:
        if (v.Kind != TStoredValue::vkIdent) Mismatch(obj, p, v);
        if (SameWord(v.Text, "true"))
          SetOrdProp(obj, p, 1);
        else if (SameWord(v.Text, "false"))
          SetOrdProp(obj, p, 0);
        else
          Fail(v.Line, "true or false expected for " + p.Name + ", found " + v.Text);
        return;
      case TTypeKind::tkEnumeration:
        if (v.Kind != TStoredValue::vkIdent) Mismatch(obj, p, v);
        SetOrdProp(obj, p, EnumOrdinal(p, v.Text, v.Line));
        return;
      case TTypeKind::tkSet: {
        if (v.Kind != TStoredValue::vkSet) Mismatch(obj, p, v);
        int64_t mask = 0;
        for (const std::string& e : v.Items) {
          int64_t ord = EnumOrdinal(p, e, v.Line);
          if (ord >= 63) Fail(v.Line, "set element out of range");
          mask |= int64_t(1) << ord;
        }
        SetOrdProp(obj, p, mask);
        return;
      }
      case TTypeKind::tkFloat:
        if (v.Kind == TStoredValue::vkFloat)
          SetFloatProp(obj, p, v.Float);
        else if (v.Kind == TStoredValue::vkInteger)
          SetFloatProp(obj, p, static_cast<double>(v.Integer));
        else
          Mismatch(obj, p, v);
        return;
      case TTypeKind::tkMethod:
        if (v.Kind != TStoredValue::vkIdent) Mismatch(obj, p, v);
        // Handlers are methods of the root, looked up once every component exists (a form's
        // handlers never depend on them, but the order keeps a single rule for names).
        fixups_.push_back(TFixup{obj, &p, v.Text, v.Line});
        return;
      case TTypeKind::tkClass:
        SetClassValue(obj, p, v);
        return;
      default:
        Fail(v.Line, "property " + p.Name + " cannot be stored");
    }
  }

  int64_t EnumOrdinal(const TPropInfo& p, const std::string& name, int line) {
    for (size_t i = 0; i < p.EnumNames.size(); ++i)
      if (SameWord(p.EnumNames[i], name.c_str())) return static_cast<int64_t>(i);
    Fail(line, "\"" + name + "\" is not a value of " + p.TypeName);
  }

  void SetClassValue(TObject* obj, const TPropInfo& p, const TStoredValue& v) {
    switch (v.Kind) {
      case TStoredValue::vkIdent:
        fixups_.push_back(TFixup{obj, &p, v.Text, v.Line});
        return;
      case TStoredValue::vkList: {
        TObject* current = p.Readable() ? GetObjectProp(obj, p) : nullptr;
        if (p.Writable() && (!current || !p.ClassType || TStringList::StaticClass().InheritsFrom(*p.ClassType))) {
          // A setter copies the lines (the component keeps its own list).
          TStringList lines(v.Items);
          SetObjectProp(obj, p, &lines);
          return;
        }
        TStrings* list = dynamic_cast<TStrings*>(current);
        if (!list) Mismatch(obj, p, v);
        list->SetLines(v.Items);
        return;
      }
      case TStoredValue::vkCollection: {
        TCollection* coll = dynamic_cast<TCollection*>(p.Readable() ? GetObjectProp(obj, p) : nullptr);
        if (!coll) Mismatch(obj, p, v);
        coll->BeginUpdate();
        try {
          coll->Clear();
          for (const TStoredValue::TItem& item : v.CollectionItems) {
            TCollectionItem* ci = coll->Add();
            SetProperties(ci, item.Properties);
          }
        } catch (...) {
          coll->EndUpdate();
          throw;
        }
        coll->EndUpdate();
        return;
      }
      default:
        Mismatch(obj, p, v);
    }
  }

  void Resolve(const TFixup& f) {
    Guard(f.Line, [&] {
      if (f.Prop->Kind == TTypeKind::tkMethod) {
        const TMethodInfo* m = root_->ClassType().FindMethod(f.Name);
        if (!m) Fail(f.Line, "handler " + f.Name + " not found in " + root_->ClassName());
        if (m->Signature != f.Prop->Signature)
          Fail(f.Line, "handler " + f.Name + " does not fit event " + f.Prop->Name + " (" + f.Prop->TypeName + ")");
        SetMethodProp(f.Target, *f.Prop, TMethodValue{m->Bind(root_), m->Name});
        return;
      }
      if (SameWord(f.Name, "nil")) {
        SetObjectProp(f.Target, *f.Prop, nullptr);
        return;
      }
      TComponent* ref = SameWord(f.Name, root_->Name().c_str()) ? root_ : root_->FindComponent(f.Name);
      if (!ref) Fail(f.Line, "component " + f.Name + " for " + f.Prop->Name + " not found");
      if (!f.Prop->Writable()) Fail(f.Line, "property " + f.Prop->Name + " is read-only");
      SetObjectProp(f.Target, *f.Prop, ref);
    });
  }

  void Rollback() {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
      TComponent* c = *it;
      // A component that already went with its owner is no longer listed.
      bool stillOwned = false;
      for (int i = 0; i < root_->ComponentCount(); ++i)
        if (root_->Components(i) == c) stillOwned = true;
      if (stillOwned) FreeComponent(c);
    }
    created_.clear();
  }

  TComponent* root_;
  std::vector<TComponent*> created_;
  std::vector<TFixup> fixups_;
};

std::map<std::string, std::string>& RegisteredForms() {
  static std::map<std::string, std::string> forms;
  return forms;
}

}  // namespace

TStoredObject ParseStoredText(const std::string& text) {
  TParser parser(text);
  return parser.Root();
}

void ReadComponentText(TComponent* root, const std::string& text, const std::string& sourceName) {
  std::string source = sourceName.empty() ? "stored data of " + root->ClassName() : sourceName;
  try {
    TStoredObject tree = ParseStoredText(text);
    TLoader loader(root);
    loader.Load(tree);
  } catch (const EReadError& e) {
    throw EReadError("Error reading " + source + ", " + e.what());
  }
}

void RegisterStoredForm(const std::string& className, const std::string& text) {
  RegisteredForms()[Lower(className)] = text;
}

void UnregisterStoredForm(const std::string& className) { RegisteredForms().erase(Lower(className)); }

bool FindStoredForm(const std::string& className, std::string* text) {
  auto it = RegisteredForms().find(Lower(className));
  if (it != RegisteredForms().end()) {
    *text = it->second;
    return true;
  }
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(module, className.c_str(), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (!res) return false;
  HGLOBAL data = LoadResource(module, res);
  DWORD size = SizeofResource(module, res);
  const char* bytes = data ? static_cast<const char*>(LockResource(data)) : nullptr;
  if (!bytes) return false;
  text->assign(bytes, size);
  return true;
}
