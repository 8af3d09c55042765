// The component model: class identity, property tables, ownership and notification, string
// lists and collections.
#include <gtest/gtest.h>

#include "components/Components.h"

namespace {

int gDestroyed = 0;
std::vector<std::string> gDestroyOrder;

class TWidget : public TComponent {
  QM_CLASS(TWidget, TComponent)
 public:
  explicit TWidget(TComponent* owner) : TComponent(owner) {}
  ~TWidget() override {
    ++gDestroyed;
    gDestroyOrder.push_back(Name());
  }

  enum TAlign { alNone, alTop, alClient };
  std::string Caption;
  std::wstring Hint;
  int Width = 0;
  bool Visible = true;
  TAlign Align = alNone;
  unsigned Icons = 0;
  double Ratio = 0;
  TNotifyEvent OnClick;
  TEvent<TObject*, bool&> OnCloseQuery;

  TComponent* GetBuddy() const { return buddy_; }
  void SetBuddy(TComponent* c) {
    if (buddy_) RemoveFreeNotification(buddy_);
    buddy_ = c;
    if (c) FreeNotification(c);
  }
  std::string GetUpper() const { return "UP:" + Caption; }

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == TOperation::opRemove && c == buddy_) buddy_ = nullptr;
  }

 private:
  TComponent* buddy_ = nullptr;
};

QM_REGISTER_CLASS(TWidget, b) {
  b.Str("Caption", &TWidget::Caption);
  b.WStr("Hint", &TWidget::Hint);
  b.Int("Width", &TWidget::Width);
  b.Bool("Visible", &TWidget::Visible);
  b.Enum("Align", "TAlign", {"alNone", "alTop", "alClient"}, &TWidget::Align);
  b.Set("Icons", "TBorderIcons", {"biSystemMenu", "biMinimize", "biMaximize"}, &TWidget::Icons);
  b.Float("Ratio", &TWidget::Ratio);
  b.Object<TComponent>("Buddy", "TComponent", &TWidget::GetBuddy, &TWidget::SetBuddy);
  b.Str("Upper", &TWidget::GetUpper, nullptr);
  b.Event("OnClick", "TNotifyEvent", &TWidget::OnClick);
  b.Event("OnCloseQuery", "TCloseQueryEvent", &TWidget::OnCloseQuery);
}

// A derived class redeclares Caption as a short string and adds a list.
class TFancyWidget : public TWidget {
  QM_CLASS(TFancyWidget, TWidget)
 public:
  explicit TFancyWidget(TComponent* owner) : TWidget(owner) {}
  TStringList* Lines() const { return lines_.get(); }
  std::string Title;

 private:
  std::unique_ptr<TStringList> lines_ = std::make_unique<TStringList>();
};

QM_REGISTER_CLASS(TFancyWidget, b) {
  b.ShortStr("Caption", &TFancyWidget::Title);
  b.SubObject<TStrings>("Lines", "TStrings", &TFancyWidget::Lines);
}

class THost : public TComponent {
  QM_CLASS(THost, TComponent)
 public:
  explicit THost(TComponent* owner) : TComponent(owner) {}
  TWidget* btnOne = nullptr;
  int clicks = 0;
  void btnOneClick(TObject*) { ++clicks; }
  void FormCloseQuery(TObject*, bool& canClose) { canClose = false; }
};

QM_REGISTER_CLASS(THost, b) {
  b.Field("btnOne", &THost::btnOne);
  b.Method("btnOneClick", &THost::btnOneClick);
  b.Method("FormCloseQuery", &THost::FormCloseQuery);
}

class TImageItem : public TCollectionItem {
  QM_CLASS(TImageItem, TCollectionItem)
 public:
  explicit TImageItem(TCollection* c) : TCollectionItem(c) {}
  std::string Name;
  void Assign(const TPersistent* source) override {
    if (auto* o = dynamic_cast<const TImageItem*>(source)) {
      Name = o->Name;
      return;
    }
    TCollectionItem::Assign(source);
  }
};
QM_REGISTER_CLASS(TImageItem, b) { b.Str("Name", &TImageItem::Name); }

class TStore : public TComponent {
  QM_CLASS(TStore, TComponent)
 public:
  explicit TStore(TComponent* owner) : TComponent(owner) { images_.PropName = "Images"; }
  TCollection* Images() const { return const_cast<TCollection*>(&images_); }

 private:
  TCollection images_{TImageItem::StaticClass(), this};
};
QM_REGISTER_CLASS(TStore, b) { b.SubObject<TCollection>("Images", "TImageCollection", &TStore::Images); }

std::vector<std::string> Names(const std::vector<const TPropInfo*>& props) {
  std::vector<std::string> out;
  for (auto* p : props) out.push_back(p->Name);
  return out;
}

TEST(ClassInfo, IdentityRegistryAndInheritance) {
  TWidget w(nullptr);
  EXPECT_EQ(w.ClassName(), "TWidget");
  EXPECT_TRUE(w.InheritsFrom(TComponent::StaticClass()));
  EXPECT_TRUE(w.InheritsFrom("tpersistent"));
  EXPECT_FALSE(w.InheritsFrom(TFancyWidget::StaticClass()));
  EXPECT_EQ(FindClass("tfancywidget"), &TFancyWidget::StaticClass());
  EXPECT_EQ(FindClass("TNoSuchThing"), nullptr);
  EXPECT_EQ(FindClass("TStringList"), &TStringList::StaticClass());
  TComponent* made = FindClass("TWidget")->CreateComponent(nullptr);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->ClassName(), "TWidget");
  delete made;
  EXPECT_FALSE(TStrings::StaticClass().CanCreateComponent());  // abstract, and no component
  EXPECT_THROW(As<TFancyWidget>(&w), EInvalidCast);
  EXPECT_EQ(As<TFancyWidget>(nullptr), nullptr);
}

TEST(PropertyTable, InheritedSortedKindsAndTypeNames) {
  const TClassInfo& c = TFancyWidget::StaticClass();
  // Declared order, base first; the redeclared Caption keeps its place.
  std::vector<std::string> declared = Names(c.Properties());
  ASSERT_GE(declared.size(), 4u);
  EXPECT_EQ(declared[0], "Name");
  EXPECT_EQ(declared[1], "Tag");
  EXPECT_EQ(declared[2], "Caption");
  EXPECT_EQ(declared.back(), "Lines");
  EXPECT_EQ(Names(c.PropertiesSorted()),
            (std::vector<std::string>{"Align", "Buddy", "Caption", "Hint", "Icons", "Lines", "Name", "OnClick",
                                      "OnCloseQuery", "Ratio", "Tag", "Upper", "Visible", "Width"}));
  EXPECT_EQ(c.FindProperty("caption")->Kind, TTypeKind::tkSString);
  EXPECT_EQ(c.FindProperty("Name")->TypeName, "TComponentName");
  EXPECT_EQ(c.FindProperty("Lines")->TypeName, "TStrings");
  EXPECT_EQ(c.FindProperty("Hint")->Kind, TTypeKind::tkWString);
  EXPECT_EQ(c.FindProperty("OnClick")->Kind, TTypeKind::tkMethod);
  EXPECT_FALSE(c.FindProperty("Upper")->Writable());
  EXPECT_FALSE(c.FindProperty("Lines")->Writable());

  TFancyWidget f(nullptr);
  EXPECT_EQ(Names(GetPropList(&f, {TTypeKind::tkSString, TTypeKind::tkLString, TTypeKind::tkWString})),
            (std::vector<std::string>{"Caption", "Hint", "Name", "Upper"}));
  SetStrProp(&f, "Caption", "short");  // the derived accessor wins
  EXPECT_EQ(f.Title, "short");
  EXPECT_EQ(f.Caption, "");
}

TEST(PropertyTable, AccessByNameChecksKindsClassesAndSignatures) {
  TComponent owner(nullptr);
  TWidget* w = new TWidget(&owner);
  SetStrProp(w, "Caption", "Hello");
  EXPECT_EQ(GetStrProp(w, "Upper"), "UP:Hello");
  SetStrProp(w, "Hint", "wide");
  EXPECT_EQ(w->Hint, L"wide");
  EXPECT_EQ(GetStrProp(w, "Hint"), "wide");
  SetOrdProp(w, "Width", 528);
  SetOrdProp(w, "Visible", 0);
  SetOrdProp(w, "Align", 2);
  SetOrdProp(w, "Icons", 5);
  EXPECT_EQ(w->Width, 528);
  EXPECT_FALSE(w->Visible);
  EXPECT_EQ(w->Align, TWidget::alClient);
  EXPECT_EQ(GetOrdProp(w, "Icons"), 5);
  EXPECT_THROW(SetStrProp(w, "Width", "x"), EPropertyError);
  EXPECT_THROW(SetStrProp(w, "Upper", "x"), EPropertyError);
  EXPECT_THROW(SetStrProp(w, "Nope", "x"), EPropertyError);

  TStringList list;
  EXPECT_THROW(SetObjectProp(w, "Buddy", &list), EInvalidCast);  // declared TComponent
  TWidget* other = new TWidget(&owner);
  SetObjectProp(w, "Buddy", other);
  EXPECT_EQ(w->GetBuddy(), other);

  // Events: a published method binds by name; the wrong signature is refused.
  THost host(nullptr);
  const TMethodInfo* click = host.ClassType().FindMethod("BTNONECLICK");
  ASSERT_NE(click, nullptr);
  SetMethodProp(w, *GetPropInfo(w, "OnClick"), TMethodValue{click->Bind(&host), click->Name});
  w->OnClick(w);
  EXPECT_EQ(host.clicks, 1);
  EXPECT_EQ(GetMethodProp(w, *GetPropInfo(w, "OnClick")).Name, "btnOneClick");
  const TMethodInfo* cq = host.ClassType().FindMethod("FormCloseQuery");
  EXPECT_THROW(SetMethodProp(w, *GetPropInfo(w, "OnClick"), TMethodValue{cq->Bind(&host), cq->Name}),
               EPropertyError);
  SetMethodProp(w, *GetPropInfo(w, "OnCloseQuery"), TMethodValue{cq->Bind(&host), cq->Name});
  bool canClose = true;
  w->OnCloseQuery(w, canClose);
  EXPECT_FALSE(canClose);
  // Clearing the event: an unassigned event is skipped.
  SetMethodProp(w, *GetPropInfo(w, "OnClick"), TMethodValue{});
  w->OnClick(w);
  EXPECT_EQ(host.clicks, 1);
}

TEST(Component, OwnershipOrderNamesAndNotification) {
  gDestroyed = 0;
  gDestroyOrder.clear();
  {
    THost host(nullptr);
    auto* a = new TWidget(&host);
    a->SetName("btnOne");
    auto* b = new TWidget(&host);
    b->SetName("b");
    auto* c = new TWidget(&host);
    c->SetName("c");
    EXPECT_EQ(host.ComponentCount(), 3);
    EXPECT_EQ(host.Components(1), b);
    EXPECT_EQ(c->ComponentIndex(), 2);
    EXPECT_EQ(host.FindComponent("B"), b);
    EXPECT_THROW(c->SetName("B"), EComponentError);  // names are unique without regard to case
    EXPECT_THROW(c->SetName("1abc"), EComponentError);
    EXPECT_THROW(c->SetName("a b"), EComponentError);
    EXPECT_EQ(c->Name(), "c");

    host.btnOne = a;
    b->SetBuddy(a);
    // A component owned elsewhere that links to `a` hears of its end too.
    TWidget outsider(nullptr);
    outsider.SetName("outsider");
    outsider.SetBuddy(a);
    delete a;
    EXPECT_EQ(host.btnOne, nullptr);  // the form's field is cleared
    EXPECT_EQ(b->GetBuddy(), nullptr);
    EXPECT_EQ(outsider.GetBuddy(), nullptr);
    EXPECT_EQ(host.ComponentCount(), 2);

    // The outsider dies first: `c` must not keep a dangling link to it.
    {
      TWidget shortLived(nullptr);
      c->SetBuddy(&shortLived);
    }
    EXPECT_EQ(c->GetBuddy(), nullptr);
    gDestroyOrder.clear();
  }
  // The outsider (declared last) goes first; then the owner frees what it owns, the last
  // created first.
  EXPECT_EQ(gDestroyed, 5);
  EXPECT_EQ(gDestroyOrder, (std::vector<std::string>{"outsider", "c", "b"}));
}

TEST(Component, LoadingAndDesigningStates) {
  TComponent root(nullptr);
  root.SetDesigning(true);
  auto* w = new TWidget(&root);
  EXPECT_TRUE(w->Designing());  // components placed on a designed owner are designed too
  w->SetLoading(true);
  EXPECT_TRUE(w->Loading());
  w->Loaded();
  EXPECT_FALSE(w->Loading());
}

TEST(StringList, TextLinesAndNameValues) {
  TStringList l;
  l.SetText("a\r\nb\rc\nd\r\n");
  EXPECT_EQ(l.Lines(), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(l.Text(), "a\r\nb\r\nc\r\nd\r\n");
  l.SetText("one<BR>\r\n\r\n");
  EXPECT_EQ(l.Count(), 2);  // the empty middle line stays, the final break adds none
  l.SetText("");
  EXPECT_EQ(l.Count(), 0);

  l.SetLines({"Path.Skins=skins", "noequals", "Path.Languages=lang=x"});
  EXPECT_EQ(l.Values("path.languages"), "lang=x");
  EXPECT_EQ(l.Names(1), "");
  EXPECT_EQ(l.IndexOfName("noequals"), -1);
  l.SetValue("Path.Skins", "other");
  EXPECT_EQ(l.Get(0), "Path.Skins=other");
  l.SetValue("New", "1");
  EXPECT_EQ(l.Get(3), "New=1");
  l.SetValue("Path.Skins", "");
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(l.IndexOf("NOEQUALS"), 0);
  EXPECT_THROW(l.Get(3), EStringListError);
  EXPECT_THROW(l.Delete(-1), EStringListError);

  TStringList c;
  c.SetLines({"plain", "with space", "q\"uote", ""});
  std::string ct = c.CommaText();
  TStringList back;
  back.SetCommaText(ct);
  EXPECT_TRUE(back.Equals(c)) << ct;
}

TEST(StringList, ChangeNotificationIsSuspendedDuringUpdates) {
  TStringList l;
  int changes = 0, changing = 0;
  l.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &l);
    ++changes;
  };
  l.OnChanging = [&](TObject*) { ++changing; };
  l.Add("x");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(changing, 1);
  l.BeginUpdate();
  l.Add("y");
  l.Add("z");
  l.BeginUpdate();
  l.Delete(0);
  l.EndUpdate();
  EXPECT_EQ(changes, 1);
  l.EndUpdate();
  EXPECT_EQ(changes, 2);  // once for the whole update
  l.SetText("a\r\nb\r\nc");
  EXPECT_EQ(changes, 3);
  l.BeginUpdate();
  l.EndUpdate();
  EXPECT_EQ(changes, 3);  // nothing changed, nothing fired
  TStringList other;
  other.Add("q");
  l.Assign(&other);
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(l.Text(), "q\r\n");
}

// An object that counts its own end, to see who frees it and how often.
class TCounted : public TObject {
 public:
  explicit TCounted(int* freed) : freed_(freed) {}
  ~TCounted() override { ++*freed_; }

 private:
  int* freed_;
};

TEST(StringList, MoveTakesTheObjectAlongInAListThatOwnsIt) {
  int freed = 0;
  TCounted* moved = nullptr;
  {
    TStringList l;
    l.OwnsObjects = true;
    moved = new TCounted(&freed);
    l.AddObject("a", moved);
    l.AddObject("b", new TCounted(&freed));
    l.AddObject("c", new TCounted(&freed));
    int changes = 0;
    l.OnChange = [&](TObject*) { ++changes; };
    l.Move(0, 2);
    EXPECT_EQ(freed, 0) << "the moved line's object was freed";
    EXPECT_EQ(l.Lines(), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(l.GetObject(2), moved);
    EXPECT_EQ(changes, 1);
    l.Move(2, 0);
    EXPECT_EQ(l.GetObject(0), moved);
    // Through the base class as well (a caller holding a TStrings).
    TStrings& base = l;
    base.Move(0, 1);
    EXPECT_EQ(l.GetObject(1), moved);
    EXPECT_EQ(freed, 0);
  }
  EXPECT_EQ(freed, 3);  // each object once, by the list

  // A sorted list cannot move a line: refused, and the list stays whole.
  TStringList sorted;
  sorted.SetLines({"b", "a"});
  sorted.SetSorted(true);
  EXPECT_THROW(sorted.Move(0, 1), EStringListError);
  EXPECT_EQ(sorted.Lines(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(sorted.UpdateCount(), 0);
}

// A list that runs out of memory at its n-th Add.
class TFailingList : public TStringList {
 public:
  int failAt = 0;
  int Add(const std::string& s) override {
    if (++adds_ == failAt) throw std::bad_alloc();
    return TStringList::Add(s);
  }

 private:
  int adds_ = 0;
};

TEST(StringList, AnErrorInTheMiddleOfAWholeChangeEndsTheUpdate) {
  TStringList source;
  source.SetLines({"x", "y", "z"});
  const std::vector<std::function<void(TStrings&)>> changes = {
      [](TStrings& l) { l.SetText("1\r\n2\r\n3"); },
      [](TStrings& l) { l.SetLines({"1", "2", "3"}); },
      [&](TStrings& l) { l.Assign(&source); },
      [&](TStrings& l) { l.AddStrings(source); },
      [](TStrings& l) { l.SetCommaText("1,2,3"); },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    TFailingList l;
    l.failAt = 2;
    int fired = 0;
    l.OnChange = [&](TObject*) { ++fired; };
    EXPECT_THROW(changes[i](l), std::bad_alloc) << i;
    EXPECT_EQ(l.UpdateCount(), 0) << i;
    EXPECT_EQ(fired, 1) << i;  // what did change is still announced
    // The list is not stuck in an update: the next change is announced at once.
    l.Add("later");
    EXPECT_EQ(fired, 2) << i;
  }
  // Exchange in a sorted list is refused in its first step; the update ends all the same.
  TStringList sorted;
  sorted.SetLines({"a", "b"});
  sorted.SetSorted(true);
  EXPECT_THROW(sorted.Exchange(0, 1), EStringListError);
  EXPECT_EQ(sorted.UpdateCount(), 0);
}

TEST(StringList, SortedListsAndDuplicates) {
  TStringList l;
  l.SetSorted(true);
  l.Add("pear");
  l.Add("Apple");
  l.Add("fig");
  EXPECT_EQ(l.Lines(), (std::vector<std::string>{"Apple", "fig", "pear"}));
  EXPECT_EQ(l.Add("APPLE"), 0);  // dupIgnore: the existing line
  EXPECT_EQ(l.Count(), 3);
  l.Duplicates = TStringList::dupError;
  EXPECT_THROW(l.Add("fig"), EStringListError);
  EXPECT_THROW(l.Insert(0, "x"), EStringListError);
  EXPECT_EQ(l.IndexOf("PEAR"), 2);
  int at = -1;
  EXPECT_FALSE(l.Find("grape", &at));
  EXPECT_EQ(at, 2);
}

TEST(Collection, ItemsNamePathsAndAssign) {
  TComponent owner(nullptr);
  auto* store = new TStore(&owner);
  store->SetName("pngStore");
  TCollection* c = store->Images();
  int updates = 0;
  c->OnUpdate = [&](TCollectionItem*) { ++updates; };
  auto* a = static_cast<TImageItem*>(c->Add());
  auto* b = static_cast<TImageItem*>(c->Add());
  a->Name = "PngImage0";
  b->Name = "PngImage1";
  EXPECT_EQ(updates, 2);
  EXPECT_EQ(b->Index(), 1);
  EXPECT_EQ(b->GetNamePath(), "pngStore.Images[1]");
  EXPECT_EQ(c->FindItemID(a->ID()), a);
  EXPECT_EQ(GetStrProp(c->Items(0), "Name"), "PngImage0");

  TCollection copy(TImageItem::StaticClass());
  copy.Assign(c);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.ItemAs<TImageItem>(1)->Name, "PngImage1");

  b->SetIndex(0);
  EXPECT_EQ(c->ItemAs<TImageItem>(0)->Name, "PngImage1");
  c->Delete(0);
  EXPECT_EQ(c->Count(), 1);
  delete c->Items(0);  // an item freed on its own leaves the collection
  EXPECT_EQ(c->Count(), 0);
  EXPECT_THROW(c->Items(0), EListError);

  // A collection whose item class is no item class refuses to add.
  TCollection bad(TStringList::StaticClass());
  EXPECT_THROW(bad.Add(), EInvalidCast);
}

TEST(Event, UnassignedIsSkippedAndBindCalls) {
  TNotifyEvent e;
  EXPECT_FALSE(e.Assigned());
  e(nullptr);  // nothing happens
  THost host(nullptr);
  e = TNotifyEvent::Bind(&host, &THost::btnOneClick);
  e(nullptr);
  e(nullptr);
  EXPECT_EQ(host.clicks, 2);
  e = nullptr;
  e(nullptr);
  EXPECT_EQ(host.clicks, 2);
}

}  // namespace
