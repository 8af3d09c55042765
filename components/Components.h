// The component model: objects that know their class, components owned by components, string
// lists, collections, events and published property tables walked by name.
//
// How a class takes part:
//
//   // Header: QM_CLASS names the class and its base; it gives StaticClass() and ClassType().
//   class TButtonish : public TComponent {
//     QM_CLASS(TButtonish, TComponent)
//    public:
//     explicit TButtonish(TComponent* owner) : TComponent(owner) {}  // stored data needs this
//     std::string Caption;
//     TNotifyEvent OnClick;                         // TEvent<TObject*>: skipped when unassigned
//     TComponent* GetLink() const; void SetLink(TComponent*);
//   };
//
//   // Source: QM_REGISTER_CLASS builds the published property table once and adds the class
//   // to the class registry when the object file is linked. Properties are listed in declared
//   // order; a class inherits its base's table. Each property has a name, a kind and the
//   // declared type name (the type name is what the form binding and the translator test).
//   QM_REGISTER_CLASS(TButtonish, b) {
//     b.Str("Caption", &TButtonish::Caption);       // field, or (getter, setter|nullptr)
//     b.Object<TComponent>("Link", "TComponent", &TButtonish::GetLink, &TButtonish::SetLink);
//     b.Event("OnClick", "TNotifyEvent", &TButtonish::OnClick);
//   }
//
// A form (components/Forms.h) also publishes its component fields and its event handlers:
//   b.Field("btnDelete", &TfrmMain::btnDelete);      // set by the loader; also links the class
//   b.Method("btnDeleteClick", &TfrmMain::btnDeleteClick);   // void (TObject* sender)
//
// Stored window data (components/StoredData.h) is text compiled into the executable as an
// RCDATA resource named after the form class, e.g. in the executable's .rc file:
//   TfrmMain RCDATA "uMainForm.qmf"
// with text such as
//   object frmMain : TfrmMain
//     Caption = "Brindlewick"                       // strings: "..." with \" \\ \n \r \t \xHH
//     Width = 528                                   // integers, floats, true/false, enum names
//     OnCreate = FormCreate                         // events: a published method of the form
//     object engine1 : TCLEngine                    // owned by the form, created in this order
//       LanguageData = clmltlngdt1                  // references resolved once all exist
//       SettingDefault = ("Path.Skins=skins" "Path.Languages=langs")     // string list
//       Font.Name = "Verdana"                       // property of a sub-object
//     end
//     object pngStore : TPngStore
//       PngImages = < item Name = "PngImage0" end item Name = "PngImage1" end >  // collection
//       Data = { 89504E47 0D0A }                    // binary, hex digits
//       BorderIcons = [biSystemMenu, biMinimize]    // set
//     end
//   end
// Objects nested in another object get it through SetParentComponent (controls take it as
// their parent window); every stored component is owned by the root form.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <variant>
#include <vector>

class TObject;
class TComponent;
class TCollection;
class TCollectionItem;
class TClassInfo;

// --- Errors -------------------------------------------------------------------------------------

// The base of the errors the framework raises; they are caught at the window procedure and
// the message loop and shown by the application's default error box.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};
class EInvalidCast : public Exception {  // an object is not of the class an operation needs
 public:
  EInvalidCast() : Exception("Invalid class typecast") {}
  explicit EInvalidCast(const std::string& m) : Exception(m) {}
};
class EComponentError : public Exception { using Exception::Exception; };
class EPropertyError : public Exception { using Exception::Exception; };
class EStringListError : public Exception { using Exception::Exception; };
class EListError : public Exception { using Exception::Exception; };
class EReadError : public Exception { using Exception::Exception; };  // damaged stored data

// --- Events -------------------------------------------------------------------------------------

// An event value as the property table carries it: the callable (a std::function of the
// event's exact signature inside std::any) and the name of the handler it was bound to.
struct TMethodValue {
  std::any Fn;
  std::string Name;
  bool Assigned() const { return Fn.has_value(); }
};

// An assignable callable; calling an unassigned event does nothing.
template <typename... Args>
class TEvent {
 public:
  using Function = std::function<void(Args...)>;
  TEvent() = default;
  template <typename F, typename = std::enable_if_t<std::is_invocable_v<F&, Args...> &&
                                                    !std::is_same_v<std::decay_t<F>, TEvent>>>
  TEvent(F f) : fn_(std::move(f)) {}  // NOLINT: lambdas assign directly
  TEvent(std::nullptr_t) {}           // NOLINT

  // Binds a method of an object: event = TEvent<...>::Bind(this, &TMyForm::Handler).
  template <typename C, typename R, typename... P>
  static TEvent Bind(C* obj, R (C::*m)(P...)) {
    TEvent e([obj, m](Args... a) { (obj->*m)(std::forward<Args>(a)...); });
    return e;
  }

  bool Assigned() const { return static_cast<bool>(fn_); }
  explicit operator bool() const { return Assigned(); }
  void operator()(Args... a) const {
    if (fn_) fn_(std::forward<Args>(a)...);
  }
  // The name of the published handler it was resolved to from stored data, or "".
  const std::string& HandlerName() const { return name_; }
  const Function& Fn() const { return fn_; }

  TMethodValue ToValue() const {
    TMethodValue v;
    if (fn_) v.Fn = fn_;
    v.Name = name_;
    return v;
  }
  // False when the value holds a callable of another signature (the event stays as it was).
  bool FromValue(const TMethodValue& v) {
    if (!v.Fn.has_value()) {
      fn_ = nullptr;
      name_.clear();
      return true;
    }
    const Function* f = std::any_cast<Function>(&v.Fn);
    if (!f) return false;
    fn_ = *f;
    name_ = v.Name;
    return true;
  }

 private:
  Function fn_;
  std::string name_;
};

using TNotifyEvent = TEvent<TObject*>;

// --- Published property tables -----------------------------------------------------------------

// Kinds of published properties (the walkers of the form binding and the translator select
// by kind and declared type name).
enum class TTypeKind {
  tkUnknown,
  tkInteger,
  tkChar,
  tkEnumeration,
  tkFloat,
  tkSString,  // 8-bit short string
  tkSet,
  tkClass,    // object reference (owned sub-object or linked component)
  tkMethod,   // event
  tkWChar,
  tkLString,  // 8-bit long string
  tkWString,  // 16-bit wide string
  tkInt64,
  tkBool,     // Boolean
  tkBinary,   // raw bytes (pictures, compressed skins)
};
const char* TypeKindName(TTypeKind kind);
bool IsStringKind(TTypeKind kind);  // tkSString, tkLString, tkWString

// A property value in transit: integers, enumerations and sets as int64 (a set is a bit mask
// by element ordinal), booleans, floats, 8-bit text and binary as std::string, wide text,
// object references and events.
using TValue = std::variant<std::monostate, int64_t, bool, double, std::string, std::wstring,
                            TObject*, TMethodValue>;

// A class named lazily: a class's table may name the class itself (a TPart linking to a
// TPart), so the info is looked up on use rather than while the table is being built.
class TClassRef {
 public:
  TClassRef() = default;
  explicit TClassRef(const TClassInfo& (*fn)()) : fn_(fn) {}
  const TClassInfo* get() const { return fn_ ? &fn_() : nullptr; }
  operator const TClassInfo*() const { return get(); }  // NOLINT: reads like a pointer
  const TClassInfo& operator*() const { return fn_(); }
  const TClassInfo* operator->() const { return get(); }

 private:
  const TClassInfo& (*fn_)() = nullptr;
};

struct TPropInfo {
  std::string Name;
  TTypeKind Kind = TTypeKind::tkUnknown;
  std::string TypeName;                  // declared type: "string", "TStrings", "TNotifyEvent"
  TClassRef ClassType;                   // tkClass: the declared class
  std::vector<std::string> EnumNames;    // tkEnumeration and tkSet: names by ordinal
  std::type_index Signature = typeid(void);  // tkMethod: the std::function type of the event
  int Index = 0;                         // position in declared order, base class first
  std::function<TValue(const TObject*)> Get;   // empty: write-only
  std::function<void(TObject*, const TValue&)> Set;  // empty: read-only

  bool Readable() const { return static_cast<bool>(Get); }
  bool Writable() const { return static_cast<bool>(Set); }
};

// A published method (event handler) that stored data may name.
struct TMethodInfo {
  std::string Name;
  std::type_index Signature = typeid(void);    // the std::function type it binds to
  std::function<std::any(TObject* self)> Bind;  // a std::function bound to `self`
};

// A published component field of a form, set by the loader to the component of that name.
struct TFieldInfo {
  std::string Name;
  TClassRef ClassType;
  std::function<void(TObject* self, TComponent* value)> Set;
  std::function<TComponent*(const TObject* self)> Get;
};

class TClassInfo {
 public:
  TClassInfo(const char* name, const TClassInfo* parent) : name_(name), parent_(parent) {}
  TClassInfo(const TClassInfo&) = delete;
  TClassInfo& operator=(const TClassInfo&) = delete;

  const std::string& Name() const { return name_; }
  const TClassInfo* Parent() const { return parent_; }
  bool InheritsFrom(const TClassInfo& other) const;
  bool InheritsFrom(const std::string& className) const;

  // Own and inherited properties: declared order (base first), or sorted by name (case-
  // insensitive). A derived class may redeclare a base property; its entry then wins.
  std::vector<const TPropInfo*> Properties() const;
  std::vector<const TPropInfo*> PropertiesSorted() const;
  const TPropInfo* FindProperty(const std::string& name) const;  // case-insensitive
  const TMethodInfo* FindMethod(const std::string& name) const;
  const TFieldInfo* FindField(const std::string& name) const;
  std::vector<const TFieldInfo*> Fields() const;

  // Creates an instance for stored data; null when the class cannot be created so.
  TComponent* CreateComponent(TComponent* owner) const { return createComponent_ ? createComponent_(owner) : nullptr; }
  TCollectionItem* CreateItem(TCollection* collection) const {
    return createItem_ ? createItem_(collection) : nullptr;
  }
  bool CanCreateComponent() const { return static_cast<bool>(createComponent_); }

  // Filled once by the class's builder.
  std::vector<TPropInfo> OwnProps;
  std::vector<TMethodInfo> OwnMethods;
  std::vector<TFieldInfo> OwnFields;
  std::function<TComponent*(TComponent*)> createComponent_;
  std::function<TCollectionItem*(TCollection*)> createItem_;

 private:
  std::string name_;
  const TClassInfo* parent_;
};

// The class registry: stored data names classes; a class registers itself when its object
// file is linked (QM_REGISTER_CLASS) and a form's published fields link their classes.
void RegisterComponentClass(const TClassInfo& info);
const TClassInfo* FindClass(const std::string& name);  // null when unknown (case-insensitive)
std::vector<std::string> RegisteredClassNames();

// --- Objects ------------------------------------------------------------------------------------

class TObject {
 public:
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

  static const TClassInfo& StaticClass();
  virtual const TClassInfo& ClassType() const { return StaticClass(); }
  const std::string& ClassName() const { return ClassType().Name(); }
  bool InheritsFrom(const TClassInfo& c) const { return ClassType().InheritsFrom(c); }
  bool InheritsFrom(const std::string& className) const { return ClassType().InheritsFrom(className); }
  template <typename T>
  bool Is() const { return dynamic_cast<const T*>(this) != nullptr; }
};

// Checked cast: null stays null; another class raises EInvalidCast.
template <typename T>
T* As(TObject* o) {
  if (!o) return nullptr;
  T* t = dynamic_cast<T*>(o);
  if (!t) throw EInvalidCast();
  return t;
}

#define QM_CLASS(Class, Base)                                                           \
 public:                                                                                \
  using inherited = Base;                                                               \
  static const TClassInfo& StaticClass();                                               \
  const TClassInfo& ClassType() const override { return Class::StaticClass(); }         \
                                                                                        \
 private:

template <typename C>
class TClassBuilder;

// Builds the class info on first use and registers the class when the object file is linked.
// Usage: QM_REGISTER_CLASS(TMyClass, b) { b.Str(...); ... }
#define QM_REGISTER_CLASS(Class, b)                                                           \
  static void QmDescribe_##Class(TClassBuilder<Class>& b);                                   \
  const TClassInfo& Class::StaticClass() {                                                    \
    static TClassInfo* info = ::QmBuildClass<Class>(#Class, &Class::inherited::StaticClass(), \
                                                    &QmDescribe_##Class);                     \
    return *info;                                                                             \
  }                                                                                           \
  static const bool qmRegistered_##Class = (::RegisterComponentClass(Class::StaticClass()), true);     \
  static void QmDescribe_##Class(TClassBuilder<Class>& b)

// --- Persistent objects and components ----------------------------------------------------------

class TPersistent : public TObject {
  QM_CLASS(TPersistent, TObject)
 public:
  // Copies the content of `source`; the base raises EInvalidCast ("Cannot assign").
  virtual void Assign(const TPersistent* source);
  // The object that owns this one for name paths ("pngStore.PngImages"), or null.
  virtual TPersistent* GetOwner() const { return nullptr; }
  virtual std::string GetNamePath() const;
};

enum class TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csWriting = 1u << 2,
  csDestroying = 1u << 3,
  csDesigning = 1u << 4,
  csInline = 1u << 5,
  csFreeNotification = 1u << 6,
};

class TComponent : public TPersistent {
  QM_CLASS(TComponent, TPersistent)
 public:
  explicit TComponent(TComponent* owner);
  // Frees the owned components (last created first) after telling everyone linked to this one.
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Raises EComponentError for a text that is not an identifier or a name taken by a sibling.
  virtual void SetName(const std::string& name);

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int i) const { return components_.at(static_cast<size_t>(i)); }
  int ComponentIndex() const;  // position in the owner's list; -1 without owner
  TComponent* FindComponent(const std::string& name) const;  // case-insensitive, owned only

  void InsertComponent(TComponent* c);  // takes ownership (from another owner too)
  void RemoveComponent(TComponent* c);  // gives up ownership without freeing
  void DestroyComponents();             // frees every owned component now

  unsigned ComponentState() const { return state_; }
  bool Designing() const { return (state_ & csDesigning) != 0; }
  bool Loading() const { return (state_ & csLoading) != 0; }
  bool Destroying() const { return (state_ & csDestroying) != 0; }
  void SetDesigning(bool value, bool includeOwned = true);
  void SetLoading(bool value) { value ? state_ |= csLoading : state_ &= ~csLoading; }
  void SetReading(bool value) { value ? state_ |= csReading : state_ &= ~csReading; }

  // Asks to be told (Notification opRemove) when `c` is destroyed, also when `c` has another
  // owner; both sides forget the link when either goes.
  void FreeNotification(TComponent* c);
  void RemoveFreeNotification(TComponent* c);

  // Called after stored data was read into the component; the base ends the loading state.
  virtual void Loaded();
  // Runs while the whole object still exists, before the destructor of its most derived
  // class: whatever must still reach the derived part (a form's OnDestroy bound to a method
  // of the derived form, components that call back into it) happens here. Owners and
  // FreeComponent call it; a class that overrides it calls the base and tolerates a second
  // call. Nothing may escape it.
  virtual void BeforeDestruction() {}
  // The stored data nests this component inside `parent` (controls take it as parent window).
  virtual void SetParentComponent(TComponent* /*parent*/) {}
  virtual TComponent* GetParentComponent() const { return nullptr; }
  bool HasParent() const { return GetParentComponent() != nullptr; }

  TPersistent* GetOwner() const override { return owner_; }
  std::string GetNamePath() const override { return name_; }

  std::any Tag;  // free for the application
  int TagInt = 0;

 protected:
  // `c` is inserted into or removed (destroyed) from something this component knows about.
  // Components that link to others clear their reference on opRemove.
  virtual void Notification(TComponent* c, TOperation op);
  void SendNotification(TComponent* c, TOperation op);

 private:
  void ValidateRename(const std::string& newName) const;
  void ClearOwnerField();

  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  unsigned state_ = 0;
};

bool IsValidIdent(const std::string& s);

// Frees a component the way its owner would: BeforeDestruction, then delete. Use it rather
// than a plain delete for anything that may be a form.
void FreeComponent(TComponent* c);

// --- Reading and writing properties by name -----------------------------------------------------

const TPropInfo* GetPropInfo(const TObject* o, const std::string& name);  // null when absent
// The object's published properties of the given kinds (all when `kinds` is empty), sorted by
// name.
std::vector<const TPropInfo*> GetPropList(const TObject* o, const std::vector<TTypeKind>& kinds = {});

// Typed access; a property of another kind or without accessor raises EPropertyError.
TValue GetPropValue(const TObject* o, const TPropInfo& p);
void SetPropValue(TObject* o, const TPropInfo& p, const TValue& v);
std::string GetStrProp(const TObject* o, const TPropInfo& p);  // wide text via the ANSI code page
void SetStrProp(TObject* o, const TPropInfo& p, const std::string& v);
int64_t GetOrdProp(const TObject* o, const TPropInfo& p);  // integers, enumerations, sets, bools
void SetOrdProp(TObject* o, const TPropInfo& p, int64_t v);
double GetFloatProp(const TObject* o, const TPropInfo& p);
void SetFloatProp(TObject* o, const TPropInfo& p, double v);
TObject* GetObjectProp(const TObject* o, const TPropInfo& p);
void SetObjectProp(TObject* o, const TPropInfo& p, TObject* v);  // checks the declared class
TMethodValue GetMethodProp(const TObject* o, const TPropInfo& p);
void SetMethodProp(TObject* o, const TPropInfo& p, const TMethodValue& v);  // checks the signature
// Name-based shorthands; raise EPropertyError for an unknown property.
std::string GetStrProp(const TObject* o, const std::string& name);
void SetStrProp(TObject* o, const std::string& name, const std::string& v);
int64_t GetOrdProp(const TObject* o, const std::string& name);
void SetOrdProp(TObject* o, const std::string& name, int64_t v);
TObject* GetObjectProp(const TObject* o, const std::string& name);
void SetObjectProp(TObject* o, const std::string& name, TObject* v);

std::wstring AnsiToWide(const std::string& s);
std::string WideToAnsi(const std::wstring& s);

// --- The class builder --------------------------------------------------------------------------

namespace qm_detail {
template <typename T>
struct MemberFnTraits;
template <typename C, typename R, typename... A>
struct MemberFnTraits<R (C::*)(A...)> {
  using Function = std::function<void(A...)>;
};

template <typename C, typename V, typename G>
V InvokeGet(const C* c, G g) {
  if constexpr (std::is_member_object_pointer_v<G>) {
    return static_cast<V>(c->*g);
  } else {
    return static_cast<V>((c->*g)());
  }
}
template <typename S>
struct SetterArg;
template <typename C, typename R, typename A>
struct SetterArg<R (C::*)(A)> {
  using Type = std::decay_t<A>;
};
template <typename C, typename V, typename S>
void InvokeSet(C* c, S s, const V& v) {
  if constexpr (std::is_member_object_pointer_v<S>) {
    using Field = std::remove_reference_t<decltype(c->*s)>;
    c->*s = static_cast<Field>(v);
  } else {
    (c->*s)(static_cast<typename SetterArg<S>::Type>(v));
  }
}
}  // namespace qm_detail

template <typename C>
class TClassBuilder {
 public:
  explicit TClassBuilder(TClassInfo& info) : info_(info) {}

  // Text: a std::string field, or a getter (returning std::string) and a setter (taking
  // const std::string&) or nullptr for read-only. Kind tkLString, type "string" unless given.
  template <typename G, typename S = std::nullptr_t>
  TClassBuilder& Str(const char* name, G g, S s = nullptr, TTypeKind kind = TTypeKind::tkLString,
                     const char* typeName = "string") {
    return Add<std::string>(name, kind, typeName, g, s);
  }
  // Same as Str with kind tkSString.
  template <typename G, typename S = std::nullptr_t>
  TClassBuilder& ShortStr(const char* name, G g, S s = nullptr, const char* typeName = "ShortString") {
    return Add<std::string>(name, TTypeKind::tkSString, typeName, g, s);
  }
  // 16-bit text: a std::wstring field or accessors.
  template <typename G, typename S = std::nullptr_t>
  TClassBuilder& WStr(const char* name, G g, S s = nullptr, const char* typeName = "WideString") {
    return Add<std::wstring>(name, TTypeKind::tkWString, typeName, g, s);
  }
  template <typename G, typename S = std::nullptr_t>
  TClassBuilder& Int(const char* name, G g, S s = nullptr, const char* typeName = "Integer") {
    return Add<int64_t>(name, TTypeKind::tkInteger, typeName, g, s);
  }
  template <typename G, typename S = std::nullptr_t>
  TClassBuilder& Int64(const char* name, G g, S s = nullptr, const char* typeName = "Int64") {
    return Add<int64_t>(name, TTypeKind::tkInt64, typeName, g, s);
  }
  template <typename G, typename S = std::nullptr_t>
  TClassBuilder& Bool(const char* name, G g, S s = nullptr) {
    return Add<bool>(name, TTypeKind::tkBool, "Boolean", g, s);
  }
  template <typename G, typename S = std::nullptr_t>
  TClassBuilder& Float(const char* name, G g, S s = nullptr, const char* typeName = "Double") {
    return Add<double>(name, TTypeKind::tkFloat, typeName, g, s);
  }
  template <typename G, typename S = std::nullptr_t>
  TClassBuilder& Binary(const char* name, G g, S s = nullptr, const char* typeName = "TBytes") {
    return Add<std::string>(name, TTypeKind::tkBinary, typeName, g, s);
  }
  // Enumeration: an enum or int field/accessors; `names` by ordinal.
  template <typename G, typename S = std::nullptr_t>
  TClassBuilder& Enum(const char* name, const char* typeName, std::vector<std::string> names, G g,
                      S s = nullptr) {
    Add<int64_t>(name, TTypeKind::tkEnumeration, typeName, g, s);
    info_.OwnProps.back().EnumNames = std::move(names);
    return *this;
  }
  // Set: a bit mask (bit n = element n) in an unsigned/int field or accessors.
  template <typename G, typename S = std::nullptr_t>
  TClassBuilder& Set(const char* name, const char* typeName, std::vector<std::string> names, G g,
                     S s = nullptr) {
    Add<int64_t>(name, TTypeKind::tkSet, typeName, g, s);
    info_.OwnProps.back().EnumNames = std::move(names);
    return *this;
  }
  // Object reference of declared class T (a T* field or accessors). Stored data fills an owned
  // sub-object (TStrings, TCollection, a font) through the getter, or links a component through
  // the setter.
  template <typename T, typename G, typename S = std::nullptr_t>
  TClassBuilder& Object(const char* name, const char* typeName, G g, S s = nullptr) {
    TPropInfo p = Base(name, TTypeKind::tkClass, typeName);
    p.ClassType = TClassRef(&T::StaticClass);
    p.Get = [g](const TObject* o) -> TValue {
      return TValue(static_cast<TObject*>(qm_detail::InvokeGet<C, T*>(static_cast<const C*>(o), g)));
    };
    if constexpr (std::is_member_object_pointer_v<G> && std::is_null_pointer_v<S>) {
      p.Set = [g](TObject* o, const TValue& v) {
        static_cast<C*>(o)->*g = dynamic_cast<T*>(std::get<TObject*>(v));
      };
    } else if constexpr (!std::is_null_pointer_v<S>) {
      p.Set = [s](TObject* o, const TValue& v) {
        qm_detail::InvokeSet<C, T*>(static_cast<C*>(o), s, dynamic_cast<T*>(std::get<TObject*>(v)));
      };
    }
    return Push(std::move(p));
  }
  // A read-only owned sub-object (a TStrings or TCollection member the component keeps).
  template <typename T, typename G>
  TClassBuilder& SubObject(const char* name, const char* typeName, G g) {
    TPropInfo p = Base(name, TTypeKind::tkClass, typeName);
    p.ClassType = TClassRef(&T::StaticClass);
    p.Get = [g](const TObject* o) -> TValue {
      return TValue(static_cast<TObject*>(qm_detail::InvokeGet<C, T*>(static_cast<const C*>(o), g)));
    };
    return Push(std::move(p));
  }
  // Event: a TEvent<...> field.
  template <typename... A>
  TClassBuilder& Event(const char* name, const char* typeName, TEvent<A...> C::*field) {
    TPropInfo p = Base(name, TTypeKind::tkMethod, typeName);
    p.Signature = typeid(typename TEvent<A...>::Function);
    p.Get = [field](const TObject* o) -> TValue { return TValue((static_cast<const C*>(o)->*field).ToValue()); };
    p.Set = [field, name](TObject* o, const TValue& v) {
      if (!(static_cast<C*>(o)->*field).FromValue(std::get<TMethodValue>(v)))
        throw EPropertyError(std::string("Handler of the wrong kind for event ") + name);
    };
    return Push(std::move(p));
  }
  // A published handler that stored data can assign to an event by name.
  template <typename M>
  TClassBuilder& Method(const char* name, M m) {
    using Function = typename qm_detail::MemberFnTraits<M>::Function;
    TMethodInfo mi;
    mi.Name = name;
    mi.Signature = typeid(Function);
    mi.Bind = [m](TObject* self) -> std::any {
      C* c = static_cast<C*>(self);
      return std::any(Function([c, m](auto&&... a) { (c->*m)(std::forward<decltype(a)>(a)...); }));
    };
    info_.OwnMethods.push_back(std::move(mi));
    return *this;
  }
  // A published component field: after loading it points at the owned component of that name.
  template <typename T>
  TClassBuilder& Field(const char* name, T* C::*field) {
    TFieldInfo f;
    f.Name = name;
    f.ClassType = TClassRef(&T::StaticClass);
    f.Set = [field](TObject* self, TComponent* v) { static_cast<C*>(self)->*field = dynamic_cast<T*>(v); };
    f.Get = [field](const TObject* self) -> TComponent* { return static_cast<const C*>(self)->*field; };
    info_.OwnFields.push_back(std::move(f));
    return *this;
  }

 private:
  TPropInfo Base(const char* name, TTypeKind kind, const char* typeName) {
    TPropInfo p;
    p.Name = name;
    p.Kind = kind;
    p.TypeName = typeName;
    return p;
  }
  TClassBuilder& Push(TPropInfo p) {
    info_.OwnProps.push_back(std::move(p));
    return *this;
  }
  template <typename V, typename G, typename S>
  TClassBuilder& Add(const char* name, TTypeKind kind, const char* typeName, G g, S s) {
    TPropInfo p = Base(name, kind, typeName);
    p.Get = [g](const TObject* o) -> TValue { return TValue(qm_detail::InvokeGet<C, V>(static_cast<const C*>(o), g)); };
    if constexpr (std::is_member_object_pointer_v<G> && std::is_null_pointer_v<S>) {
      p.Set = [g](TObject* o, const TValue& v) { qm_detail::InvokeSet<C, V>(static_cast<C*>(o), g, std::get<V>(v)); };
    } else if constexpr (!std::is_null_pointer_v<S>) {
      p.Set = [s](TObject* o, const TValue& v) { qm_detail::InvokeSet<C, V>(static_cast<C*>(o), s, std::get<V>(v)); };
    }
    return Push(std::move(p));
  }

  TClassInfo& info_;
};

template <typename C>
TClassInfo* QmBuildClass(const char* name, const TClassInfo* parent, void (*describe)(TClassBuilder<C>&)) {
  // Never freed: class infos live as long as the process, like the classes themselves.
  TClassInfo* info = new TClassInfo(name, parent);
  TClassBuilder<C> b(*info);
  describe(b);
  if constexpr (std::is_base_of_v<TComponent, C> && std::is_constructible_v<C, TComponent*> &&
                !std::is_abstract_v<C>) {
    info->createComponent_ = [](TComponent* owner) -> TComponent* { return new C(owner); };
  }
  if constexpr (std::is_base_of_v<TCollectionItem, C> && std::is_constructible_v<C, TCollection*> &&
                !std::is_abstract_v<C>) {
    info->createItem_ = [](TCollection* coll) -> TCollectionItem* { return new C(coll); };
  }
  return info;
}

#include "components/Strings.h"
#include "components/Collections.h"
