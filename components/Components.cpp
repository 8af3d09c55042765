#include "components/Components.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool LessName(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::toupper(static_cast<unsigned char>(a[i]));
    int cb = std::toupper(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::map<std::string, const TClassInfo*>& Registry() {
  static std::map<std::string, const TClassInfo*> registry;
  return registry;
}

}  // namespace

// --- Kinds and class infos ----------------------------------------------------------------------

const char* TypeKindName(TTypeKind kind) {
  switch (kind) {
    case TTypeKind::tkInteger: return "tkInteger";
    case TTypeKind::tkChar: return "tkChar";
    case TTypeKind::tkEnumeration: return "tkEnumeration";
    case TTypeKind::tkFloat: return "tkFloat";
    case TTypeKind::tkSString: return "tkSString";
    case TTypeKind::tkSet: return "tkSet";
    case TTypeKind::tkClass: return "tkClass";
    case TTypeKind::tkMethod: return "tkMethod";
    case TTypeKind::tkWChar: return "tkWChar";
    case TTypeKind::tkLString: return "tkLString";
    case TTypeKind::tkWString: return "tkWString";
    case TTypeKind::tkInt64: return "tkInt64";
    case TTypeKind::tkBool: return "tkBool";
    case TTypeKind::tkBinary: return "tkBinary";
    default: return "tkUnknown";
  }
}

bool IsStringKind(TTypeKind kind) {
  return kind == TTypeKind::tkSString || kind == TTypeKind::tkLString || kind == TTypeKind::tkWString;
}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    if (c == &other) return true;
  return false;
}

bool TClassInfo::InheritsFrom(const std::string& className) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    if (SameName(c->name_, className)) return true;
  return false;
}

std::vector<const TPropInfo*> TClassInfo::Properties() const {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = this; c; c = c->parent_) chain.push_back(c);
  std::vector<const TPropInfo*> out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (const TPropInfo& p : (*it)->OwnProps) {
      // A redeclared property keeps its base position but takes the derived accessors.
      auto same = std::find_if(out.begin(), out.end(), [&](const TPropInfo* q) { return SameName(q->Name, p.Name); });
      if (same != out.end())
        *same = &p;
      else
        out.push_back(&p);
    }
  }
  return out;
}

std::vector<const TPropInfo*> TClassInfo::PropertiesSorted() const {
  std::vector<const TPropInfo*> out = Properties();
  std::stable_sort(out.begin(), out.end(), [](const TPropInfo* a, const TPropInfo* b) { return LessName(a->Name, b->Name); });
  return out;
}

const TPropInfo* TClassInfo::FindProperty(const std::string& name) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TPropInfo& p : c->OwnProps)
      if (SameName(p.Name, name)) return &p;
  return nullptr;
}

const TMethodInfo* TClassInfo::FindMethod(const std::string& name) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TMethodInfo& m : c->OwnMethods)
      if (SameName(m.Name, name)) return &m;
  return nullptr;
}

const TFieldInfo* TClassInfo::FindField(const std::string& name) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TFieldInfo& f : c->OwnFields)
      if (SameName(f.Name, name)) return &f;
  return nullptr;
}

std::vector<const TFieldInfo*> TClassInfo::Fields() const {
  std::vector<const TFieldInfo*> out;
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TFieldInfo& f : c->OwnFields) out.push_back(&f);
  return out;
}

void RegisterComponentClass(const TClassInfo& info) { Registry()[Lower(info.Name())] = &info; }

const TClassInfo* FindClass(const std::string& name) {
  auto it = Registry().find(Lower(name));
  return it == Registry().end() ? nullptr : it->second;
}

std::vector<std::string> RegisteredClassNames() {
  std::vector<std::string> out;
  for (const auto& kv : Registry()) out.push_back(kv.second->Name());
  return out;
}

// --- TObject, TPersistent -----------------------------------------------------------------------

const TClassInfo& TObject::StaticClass() {
  static TClassInfo* info = new TClassInfo("TObject", nullptr);
  return *info;
}

QM_REGISTER_CLASS(TPersistent, b) { (void)b; }

void TPersistent::Assign(const TPersistent* source) {
  throw EInvalidCast("Cannot assign a " + (source ? source->ClassName() : std::string("nil")) + " to a " +
                     ClassName());
}

std::string TPersistent::GetNamePath() const { return std::string(); }

// --- TComponent ---------------------------------------------------------------------------------

QM_REGISTER_CLASS(TComponent, b) {
  b.Str("Name", &TComponent::Name, &TComponent::SetName, TTypeKind::tkSString, "TComponentName");
  b.Int("Tag", &TComponent::TagInt);
}

bool IsValidIdent(const std::string& s) {
  if (s.empty()) return false;
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (!alpha(s[0])) return false;
  for (char c : s)
    if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  state_ |= csDestroying;
  // Everyone linked to this component forgets it before it goes.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    auto& theirs = other->freeNotifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    other->Notification(this, TOperation::opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::ValidateRename(const std::string& newName) const {
  if (!newName.empty() && !IsValidIdent(newName))
    throw EComponentError("\"" + newName + "\" is not a valid component name");
  if (owner_ && !newName.empty()) {
    TComponent* other = owner_->FindComponent(newName);
    if (other && other != this) throw EComponentError("A component named " + newName + " already exists");
  }
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  ValidateRename(name);
  ClearOwnerField();
  name_ = name;
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameName(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* c) {
  if (!c || c->owner_ == this) return;
  c->ValidateRename(c->name_);  // keeps names unique under the new owner
  if (!c->name_.empty() && FindComponent(c->name_))
    throw EComponentError("A component named " + c->name_ + " already exists");
  if (c->owner_) c->owner_->RemoveComponent(c);
  components_.push_back(c);
  c->owner_ = this;
  if (Designing()) c->SetDesigning(true);
  Notification(c, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
  if (!c || c->owner_ != this) return;
  Notification(c, TOperation::opRemove);
  c->ClearOwnerField();
  components_.erase(std::remove(components_.begin(), components_.end(), c), components_.end());
  c->owner_ = nullptr;
}

// A form's published field that points at a component must not outlive it.
void TComponent::ClearOwnerField() {
  if (!owner_ || name_.empty()) return;
  const TFieldInfo* f = owner_->ClassType().FindField(name_);
  if (f && f->Get(owner_) == this) f->Set(owner_, nullptr);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    RemoveComponent(c);
    FreeComponent(c);
  }
}

void FreeComponent(TComponent* c) {
  if (!c) return;
  c->BeforeDestruction();
  delete c;
}

void TComponent::SetDesigning(bool value, bool includeOwned) {
  value ? state_ |= csDesigning : state_ &= ~csDesigning;
  if (includeOwned)
    for (TComponent* c : components_) c->SetDesigning(value, true);
}

void TComponent::FreeNotification(TComponent* c) {
  if (!c || c == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), c) == freeNotifies_.end()) freeNotifies_.push_back(c);
  if (std::find(c->freeNotifies_.begin(), c->freeNotifies_.end(), this) == c->freeNotifies_.end())
    c->freeNotifies_.push_back(this);
  state_ |= csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* c) {
  if (!c) return;
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), c), freeNotifies_.end());
  c->freeNotifies_.erase(std::remove(c->freeNotifies_.begin(), c->freeNotifies_.end(), this), c->freeNotifies_.end());
}

void TComponent::Loaded() { state_ &= ~(csLoading | csReading); }

void TComponent::Notification(TComponent* c, TOperation op) {
  // An owner passes removals on to its components, so a sibling that links to a component
  // being destroyed hears of it without asking.
  if (op == TOperation::opRemove && c)
    for (TComponent* mine : std::vector<TComponent*>(components_))
      if (mine != c) mine->Notification(c, op);
}

void TComponent::SendNotification(TComponent* c, TOperation op) { Notification(c, op); }

// --- Property access ----------------------------------------------------------------------------

std::wstring AnsiToWide(const std::string& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
  return w;
}

std::string WideToAnsi(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
  return s;
}

const TPropInfo* GetPropInfo(const TObject* o, const std::string& name) {
  return o ? o->ClassType().FindProperty(name) : nullptr;
}

std::vector<const TPropInfo*> GetPropList(const TObject* o, const std::vector<TTypeKind>& kinds) {
  std::vector<const TPropInfo*> out;
  if (!o) return out;
  for (const TPropInfo* p : o->ClassType().PropertiesSorted())
    if (kinds.empty() || std::find(kinds.begin(), kinds.end(), p->Kind) != kinds.end()) out.push_back(p);
  return out;
}

namespace {
[[noreturn]] void PropFail(const TObject* o, const TPropInfo& p, const char* what) {
  throw EPropertyError("Property " + (o ? o->ClassName() : std::string("?")) + "." + p.Name + " " + what);
}
const TPropInfo& NeedProp(const TObject* o, const std::string& name) {
  const TPropInfo* p = GetPropInfo(o, name);
  if (!p) throw EPropertyError("Property " + name + " does not exist" + (o ? " in " + o->ClassName() : ""));
  return *p;
}
bool IsOrdinalKind(TTypeKind k) {
  return k == TTypeKind::tkInteger || k == TTypeKind::tkChar || k == TTypeKind::tkEnumeration ||
         k == TTypeKind::tkSet || k == TTypeKind::tkWChar || k == TTypeKind::tkInt64 || k == TTypeKind::tkBool;
}
}  // namespace

TValue GetPropValue(const TObject* o, const TPropInfo& p) {
  if (!p.Readable()) PropFail(o, p, "cannot be read");
  return p.Get(o);
}

void SetPropValue(TObject* o, const TPropInfo& p, const TValue& v) {
  if (!p.Writable()) PropFail(o, p, "is read-only");
  p.Set(o, v);
}

std::string GetStrProp(const TObject* o, const TPropInfo& p) {
  if (!IsStringKind(p.Kind) && p.Kind != TTypeKind::tkBinary) PropFail(o, p, "is not a text");
  TValue v = GetPropValue(o, p);
  if (auto* w = std::get_if<std::wstring>(&v)) return WideToAnsi(*w);
  return std::get<std::string>(v);
}

void SetStrProp(TObject* o, const TPropInfo& p, const std::string& v) {
  if (!IsStringKind(p.Kind) && p.Kind != TTypeKind::tkBinary) PropFail(o, p, "is not a text");
  if (p.Kind == TTypeKind::tkWString)
    SetPropValue(o, p, TValue(AnsiToWide(v)));
  else
    SetPropValue(o, p, TValue(v));
}

int64_t GetOrdProp(const TObject* o, const TPropInfo& p) {
  if (!IsOrdinalKind(p.Kind)) PropFail(o, p, "is not ordinal");
  TValue v = GetPropValue(o, p);
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  return std::get<int64_t>(v);
}

void SetOrdProp(TObject* o, const TPropInfo& p, int64_t v) {
  if (!IsOrdinalKind(p.Kind)) PropFail(o, p, "is not ordinal");
  if (p.Kind == TTypeKind::tkBool)
    SetPropValue(o, p, TValue(v != 0));
  else
    SetPropValue(o, p, TValue(v));
}

double GetFloatProp(const TObject* o, const TPropInfo& p) {
  if (p.Kind != TTypeKind::tkFloat) PropFail(o, p, "is not a number");
  return std::get<double>(GetPropValue(o, p));
}

void SetFloatProp(TObject* o, const TPropInfo& p, double v) {
  if (p.Kind != TTypeKind::tkFloat) PropFail(o, p, "is not a number");
  SetPropValue(o, p, TValue(v));
}

TObject* GetObjectProp(const TObject* o, const TPropInfo& p) {
  if (p.Kind != TTypeKind::tkClass) PropFail(o, p, "is not an object");
  return std::get<TObject*>(GetPropValue(o, p));
}

void SetObjectProp(TObject* o, const TPropInfo& p, TObject* v) {
  if (p.Kind != TTypeKind::tkClass) PropFail(o, p, "is not an object");
  if (v && p.ClassType && !v->InheritsFrom(*p.ClassType))
    throw EInvalidCast("Cannot set " + p.Name + " of type " + p.TypeName + " to a " + v->ClassName());
  SetPropValue(o, p, TValue(v));
}

TMethodValue GetMethodProp(const TObject* o, const TPropInfo& p) {
  if (p.Kind != TTypeKind::tkMethod) PropFail(o, p, "is not an event");
  return std::get<TMethodValue>(GetPropValue(o, p));
}

void SetMethodProp(TObject* o, const TPropInfo& p, const TMethodValue& v) {
  if (p.Kind != TTypeKind::tkMethod) PropFail(o, p, "is not an event");
  SetPropValue(o, p, TValue(v));
}

std::string GetStrProp(const TObject* o, const std::string& name) { return GetStrProp(o, NeedProp(o, name)); }
void SetStrProp(TObject* o, const std::string& name, const std::string& v) { SetStrProp(o, NeedProp(o, name), v); }
int64_t GetOrdProp(const TObject* o, const std::string& name) { return GetOrdProp(o, NeedProp(o, name)); }
void SetOrdProp(TObject* o, const std::string& name, int64_t v) { SetOrdProp(o, NeedProp(o, name), v); }
TObject* GetObjectProp(const TObject* o, const std::string& name) { return GetObjectProp(o, NeedProp(o, name)); }
void SetObjectProp(TObject* o, const std::string& name, TObject* v) { SetObjectProp(o, NeedProp(o, name), v); }
