// Stored window data: parsing, the loader's order and resolution rules, damaged texts, and
// forms read from the test program's own resource.
#include <gtest/gtest.h>

#include "components/Forms.h"
#include "components/StoredData.h"
#include "support/TestSupport.h"

namespace {

std::vector<std::string> gEvents;  // "Loaded:name", "Created:name", in call order

class TPart : public TComponent {
  QM_CLASS(TPart, TComponent)
 public:
  explicit TPart(TComponent* owner) : TComponent(owner) { gEvents.push_back("Created"); }
  void Loaded() override {
    TComponent::Loaded();
    ++loadedCount;
    gEvents.push_back("Loaded:" + Name());
    // References are resolved before any Loaded runs.
    linkAtLoaded = link_ ? link_->Name() : "";
  }
  std::string Caption;
  std::wstring WideText;
  int Count = 0;
  int64_t Big = 0;
  bool Flag = false;
  double Ratio = 0;
  int Mode = 0;
  unsigned Options = 0;
  std::string Blob;
  TNotifyEvent OnFire;
  TEvent<TObject*, bool&> OnAsk;
  TStringList* Lines() const { return lines_.get(); }
  TStringList* GetKeys() const { return keys_.get(); }
  void SetKeys(TStringList* s) { keys_->Assign(s); }  // copies by content
  TCollection* Items() const { return items_.get(); }
  TPart* GetLink() const { return link_; }
  void SetLink(TPart* p) {
    if (link_) RemoveFreeNotification(link_);
    link_ = p;
    if (p) FreeNotification(p);
  }
  TPart* GetChildLink() const { return childLink_; }
  void SetChildLink(TPart* p) { childLink_ = p; }
  TComponent* Any = nullptr;
  TComponent* parentComponent = nullptr;
  void SetParentComponent(TComponent* p) override { parentComponent = p; }
  int loadedCount = 0;
  std::string linkAtLoaded;

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == TOperation::opRemove && c == link_) link_ = nullptr;
  }

 private:
  std::unique_ptr<TStringList> lines_ = std::make_unique<TStringList>();
  std::unique_ptr<TStringList> keys_ = std::make_unique<TStringList>(std::vector<std::string>{"Path.Skins=skins"});
  std::unique_ptr<TCollection> items_;
  TPart* link_ = nullptr;
  TPart* childLink_ = nullptr;

 public:
  class TPartItem : public TCollectionItem {
    QM_CLASS(TPartItem, TCollectionItem)
   public:
    explicit TPartItem(TCollection* c) : TCollectionItem(c) {}
    std::string Name;
    int Size = 0;
    TComponent* Link = nullptr;
    TNotifyEvent OnPick;
  };
  void MakeItems() { items_ = std::make_unique<TCollection>(TPartItem::StaticClass(), this); }
};

using TPartItem = TPart::TPartItem;
QM_REGISTER_CLASS(TPartItem, b) {
  b.Str("Name", &TPartItem::Name);
  b.Int("Size", &TPartItem::Size);
  b.Object<TComponent>("Link", "TComponent", &TPartItem::Link);
  b.Event("OnPick", "TNotifyEvent", &TPartItem::OnPick);
}

QM_REGISTER_CLASS(TPart, b) {
  b.Str("Caption", &TPart::Caption);
  b.WStr("WideText", &TPart::WideText);
  b.Int("Count", &TPart::Count);
  b.Int64("Big", &TPart::Big);
  b.Bool("Flag", &TPart::Flag);
  b.Float("Ratio", &TPart::Ratio);
  b.Enum("Mode", "TMode", {"mdOff", "mdOn", "mdAuto"}, &TPart::Mode);
  b.Set("Options", "TOptions", {"opA", "opB", "opC"}, &TPart::Options);
  b.Binary("Blob", &TPart::Blob);
  b.SubObject<TStrings>("Lines", "TStrings", &TPart::Lines);
  b.Object<TStrings>("Keys", "TStrings", &TPart::GetKeys, &TPart::SetKeys);
  b.SubObject<TCollection>("Items", "TPartItems", &TPart::Items);
  b.Object<TPart>("Link", "TPart", &TPart::GetLink, &TPart::SetLink);
  b.Object<TPart>("ChildLink", "TPart", &TPart::GetChildLink, &TPart::SetChildLink);
  b.Object<TComponent>("Any", "TComponent", &TPart::Any);
  b.Event("OnFire", "TNotifyEvent", &TPart::OnFire);
  b.Event("OnAsk", "TCloseQueryEvent", &TPart::OnAsk);
}

// A part whose items collection exists (the plain TPart keeps none, to test the empty case).
class TItemPart : public TPart {
  QM_CLASS(TItemPart, TPart)
 public:
  explicit TItemPart(TComponent* owner) : TPart(owner) { MakeItems(); }
};
QM_REGISTER_CLASS(TItemPart, b) { (void)b; }

class TfrmLoad : public TForm {
  QM_CLASS(TfrmLoad, TForm)
 public:
  explicit TfrmLoad(TComponent* owner) : TForm(owner) {}
  TPart* partA = nullptr;
  TPart* partB = nullptr;
  int fired = 0;
  int created = 0;
  void partAFire(TObject* sender) {
    ++fired;
    lastSender = sender;
  }
  void AskNo(TObject*, bool& ok) { ok = false; }
  void FormCreate(TObject*) { ++created; }
  TObject* lastSender = nullptr;
};
QM_REGISTER_CLASS(TfrmLoad, b) {
  b.Field("partA", &TfrmLoad::partA);
  b.Field("partB", &TfrmLoad::partB);
  b.Method("partAFire", &TfrmLoad::partAFire);
  b.Method("AskNo", &TfrmLoad::AskNo);
  b.Method("FormCreate", &TfrmLoad::FormCreate);
}

// Stored as a resource of this test program (StoredDataTest.rc).
class TfrmFromResource : public TForm {
  QM_CLASS(TfrmFromResource, TForm)
 public:
  explicit TfrmFromResource(TComponent* owner) : TForm(owner) {}
  TPart* partOne = nullptr;
};
QM_REGISTER_CLASS(TfrmFromResource, b) { b.Field("partOne", &TfrmFromResource::partOne); }

const char kGood[] = R"(// a comment line
object frmLoad : TfrmLoad
  Caption = "Load " + "test"   // joined
  ClientWidth = 300
  OnCreate = FormCreate
  object partA : TItemPart
    Caption = "Quote \" backslash \\ tab\t hex\x41"
    WideText = "wide"
    Count = -42
    Big = $7FFFFFFFFF
    Flag = TRUE
    Ratio = 2.5
    Mode = mdAuto
    Options = [opA, opC]
    Blob = { 00 ff 10
             41 }
    Lines = ("one" "two" + "!" "")
    Keys = ("Path.Skins=skins" "Path.Languages=langs")
    Items = <
      item Name = "PngImage0" Size = 1 end
      item Name = "PngImage1" end
    >
    Link = partB          // resolved after partB exists
    OnFire = partAFire
    OnAsk = AskNo
    object inner : TPart
      Link = partA
    end
  end
  object partB : TPart
    Any = frmLoad
    ChildLink = inner
  end
  object : TPart
  end
end
)";

TEST(StoredText, ParsesEveryValueForm) {
  TStoredObject root = ParseStoredText(kGood);
  EXPECT_EQ(root.Name, "frmLoad");
  EXPECT_EQ(root.ClassName, "TfrmLoad");
  ASSERT_EQ(root.Children.size(), 3u);
  EXPECT_EQ(root.Children[2].Name, "");
  const TStoredObject& a = root.Children[0];
  EXPECT_EQ(a.Properties[0].Value.Text, "Quote \" backslash \\ tab\t hexA");
  EXPECT_EQ(a.Properties[3].Value.Integer, 0x7FFFFFFFFFLL);
  EXPECT_EQ(a.Properties[8].Value.Text, std::string("\x00\xff\x10\x41", 4));
  EXPECT_EQ(a.Properties[9].Value.Items, (std::vector<std::string>{"one", "two!", ""}));
  EXPECT_EQ(a.Properties[11].Value.CollectionItems.size(), 2u);
  EXPECT_EQ(a.Children[0].Line, 26);
}

TEST(StoredText, DamagedTextsNameTheLine) {
  struct Case {
    const char* text;
    const char* expect;
  } cases[] = {
      {"", "\"object\" expected"},
      {"object a : TX\n  Caption = \"open\n end", "line 2: text without closing quote"},
      {"object a : TX\n Caption \"x\"\nend", "line 2: \"=\" expected"},
      {"object a : TX\n Count = 99999999999999999999\nend", "number out of range"},
      {"object a : TX\n Count = 12ab\nend", "bad number"},
      {"object a : TX\n Blob = { 0g }\nend", "bad character in binary data"},
      {"object a : TX\n Blob = { 0 }\nend", "odd number of hex digits"},
      {"object a : TX\n Blob = { 00", "without \"}\""},
      {"object a : TX\n X = \"\\q\"\nend", "unknown escape"},
      {"object a : TX\nend\nobject b : TX\nend", "text after the final \"end\""},
      {"object a : TX\n  object b : TY\n", "at the end of the text"},
      {"object 1a : TX\nend", "line 1: bad number"},
      {"object : \"TX\"\nend", "class name expected"},
      {"object a : TX\n Items = < item X = 1 >\nend", "property name or \"end\" expected"},
      {"object a : TX\n S = [a b]\nend", "\",\" expected"},
      {"object a : TX\n X = \x01\nend", "unexpected character"},
  };
  for (const Case& c : cases) {
    try {
      ParseStoredText(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const EReadError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expect), std::string::npos) << e.what() << " for " << c.text;
    }
  }
  // Deep nesting is refused, not followed until the stack runs out.
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "object a : TX\n";
  EXPECT_THROW(ParseStoredText(deep), EReadError);
}

TEST(Loader, CreatesInOrderResolvesAndCallsLoadedOnce) {
  gEvents.clear();
  RegisterStoredForm("TfrmLoad", kGood);
  TfrmLoad* f = NewForm<TfrmLoad>(nullptr);
  UnregisterStoredForm("TfrmLoad");
  std::unique_ptr<TfrmLoad> guard(f);

  EXPECT_EQ(f->Name(), "frmLoad");
  EXPECT_EQ(f->Caption(), "Load test");
  EXPECT_EQ(f->GetClientWidthProp(), 300);
  EXPECT_EQ(f->created, 1);
  ASSERT_EQ(f->ComponentCount(), 4);
  // Stored order: partA, inner (nested in partA), partB, the unnamed part.
  EXPECT_EQ(f->Components(0)->Name(), "partA");
  EXPECT_EQ(f->Components(1)->Name(), "inner");
  EXPECT_EQ(f->Components(2)->Name(), "partB");
  EXPECT_EQ(f->Components(3)->Name(), "");
  ASSERT_NE(f->partA, nullptr);
  EXPECT_EQ(f->partA->ClassName(), "TItemPart");
  EXPECT_EQ(f->partB, f->Components(2));

  TPart* a = f->partA;
  EXPECT_EQ(a->Caption, "Quote \" backslash \\ tab\t hexA");
  EXPECT_EQ(a->WideText, L"wide");
  EXPECT_EQ(a->Count, -42);
  EXPECT_EQ(a->Big, 0x7FFFFFFFFFLL);
  EXPECT_TRUE(a->Flag);
  EXPECT_DOUBLE_EQ(a->Ratio, 2.5);
  EXPECT_EQ(a->Mode, 2);
  EXPECT_EQ(a->Options, 5u);
  EXPECT_EQ(a->Blob, std::string("\x00\xff\x10\x41", 4));
  EXPECT_EQ(a->Lines()->Lines(), (std::vector<std::string>{"one", "two!", ""}));
  // The stored lines replace the constructor's.
  EXPECT_EQ(a->GetKeys()->Lines(), (std::vector<std::string>{"Path.Skins=skins", "Path.Languages=langs"}));
  ASSERT_EQ(a->Items()->Count(), 2);
  EXPECT_EQ(a->Items()->ItemAs<TPartItem>(0)->Name, "PngImage0");
  EXPECT_EQ(a->Items()->ItemAs<TPartItem>(0)->Size, 1);
  EXPECT_EQ(a->Items()->ItemAs<TPartItem>(1)->Name, "PngImage1");

  // References forward, backward, to the root and into nested objects.
  EXPECT_EQ(a->GetLink(), f->partB);
  auto* inner = static_cast<TPart*>(f->FindComponent("inner"));
  EXPECT_EQ(inner->GetLink(), a);
  EXPECT_EQ(inner->parentComponent, a);
  EXPECT_EQ(a->parentComponent, f);
  EXPECT_EQ(f->partB->GetChildLink(), inner);
  EXPECT_EQ(f->partB->Any, f);

  // Handlers are the form's methods, bound to it.
  a->OnFire(a);
  EXPECT_EQ(f->fired, 1);
  EXPECT_EQ(f->lastSender, a);
  bool ok = true;
  a->OnAsk(a, ok);
  EXPECT_FALSE(ok);

  // Loaded: once each, in stored order, after every reference was resolved.
  EXPECT_EQ(a->loadedCount, 1);
  EXPECT_EQ(a->linkAtLoaded, "partB");
  std::vector<std::string> loaded;
  for (const std::string& e : gEvents)
    if (e.rfind("Loaded:", 0) == 0) loaded.push_back(e);
  EXPECT_EQ(loaded, (std::vector<std::string>{"Loaded:partA", "Loaded:inner", "Loaded:partB", "Loaded:"}));
  for (int i = 0; i < f->ComponentCount(); ++i) EXPECT_FALSE(f->Components(i)->Loading());
  EXPECT_FALSE(f->Loading());

  // Freeing a linked component clears the link and the form's field.
  delete f->partB;
  EXPECT_EQ(f->partB, nullptr);
  EXPECT_EQ(a->GetLink(), nullptr);
}

TEST(Loader, DamagedDataIsReportedAndNothingStaysLoaded) {
  struct Case {
    const char* body;
    const char* expect;
  } cases[] = {
      {"  object partA : TNoSuchClass\n  end\n", "class TNoSuchClass not found"},
      {"  object partA : TPart\n    Captoin = \"x\"\n  end\n", "unknown property Captoin of TPart"},
      {"  object partA : TPart\n    Count = \"x\"\n  end\n", "cannot take a text"},
      {"  object partA : TPart\n    Flag = maybe\n  end\n", "true or false expected"},
      {"  object partA : TPart\n    Mode = mdNever\n  end\n", "is not a value of TMode"},
      {"  object partA : TPart\n    Options = [opA, opZ]\n  end\n", "is not a value of TOptions"},
      {"  object partA : TPart\n    Link = nobody\n  end\n", "component nobody for Link not found"},
      {"  object partA : TPart\n    Link = frmLoad\n  end\n", "Cannot set Link of type TPart to a TfrmLoad"},
      {"  object partA : TPart\n    Link = partB\n  end\n  object partB : TStringList\n  end\n",
       "is not a component that can be created"},
      {"  object partA : TPart\n    OnFire = NoHandler\n  end\n", "handler NoHandler not found"},
      {"  object partA : TPart\n    OnFire = AskNo\n  end\n", "handler AskNo does not fit event OnFire"},
      {"  object partA : TPart\n  end\n  object parta : TPart\n  end\n", "already exists"},
      {"  object partA : TPart\n    Items = < item Name = \"x\" end >\n  end\n", "cannot take a collection"},
      {"  object partA : TPart\n    Count = 99999999999\n  end\n", "out of range"},
      {"  object partA : TPart\n    Lines.Nope = 1\n  end\n", "unknown property Nope of TStringList"},
      {"  object partA : TPart\n    Caption.X = 1\n  end\n", "has no properties"},
      {"  object partA : TPart\n    Lines = 5\n  end\n", "cannot take an integer"},
      {"  object partA : TPart\n  end\n  object partB : TForm\n  end\n", "field partB of TfrmLoad is a TPart"},
      // A property given twice: the second collection would free the items whose reference
      // and handler still wait to be resolved.
      {"  object partA : TItemPart\n    Items = < item Link = partB OnPick = partAFire end >\n"
       "    Items = < item Name = \"x\" end >\n  end\n  object partB : TPart\n  end\n",
       "line 5: property Items given twice (first on line 4)"},
      {"  object partA : TPart\n    Caption = \"a\"\n    caption = \"b\"\n  end\n", "property caption given twice"},
      {"  object partA : TItemPart\n    Items = < item Name = \"a\" Size = 1 name = \"b\" end >\n  end\n",
       "property name given twice"},
  };
  for (const Case& c : cases) {
    std::string text = std::string("object frmLoad : TfrmLoad\n  Caption = \"c\"\n") + c.body + "end\n";
    RegisterStoredForm("TfrmLoad", text);
    gEvents.clear();
    TComponent owner(nullptr);
    try {
      NewForm<TfrmLoad>(&owner);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const EReadError& e) {
      std::string msg = e.what();
      EXPECT_NE(msg.find(c.expect), std::string::npos) << msg;
      EXPECT_NE(msg.find("Error reading stored data of TfrmLoad, line "), std::string::npos) << msg;
    }
    // Nothing half-loaded: the form is gone, nothing was Loaded, nothing is left owned.
    EXPECT_EQ(owner.ComponentCount(), 0) << text;
    for (const std::string& e : gEvents) EXPECT_EQ(e.rfind("Loaded:", 0), std::string::npos) << text;
  }
  UnregisterStoredForm("TfrmLoad");

  // The stored root must be of the form's class.
  RegisterStoredForm("TfrmLoad", "object x : TfrmOther\nend\n");
  EXPECT_THROW(delete NewForm<TfrmLoad>(nullptr), EReadError);
  UnregisterStoredForm("TfrmLoad");
}

TEST(Loader, FormsFromTheProgramsResourceAndNumberedNames) {
  std::string text;
  ASSERT_TRUE(FindStoredForm("TfrmFromResource", &text));
  EXPECT_FALSE(FindStoredForm("TfrmNotStored", &text));
  TComponent owner(nullptr);
  TfrmFromResource* one = NewForm<TfrmFromResource>(&owner);
  TfrmFromResource* two = NewForm<TfrmFromResource>(&owner);
  EXPECT_EQ(one->Name(), "frmFromResource");
  EXPECT_EQ(two->Name(), "frmFromResource_1");  // a second window of the class under one owner
  ASSERT_NE(one->partOne, nullptr);
  EXPECT_EQ(one->partOne->Caption, "from the resource");
  EXPECT_EQ(one->Caption(), "Resource form");
  // The window class is named after the form class.
  char cls[64] = {};
  GetClassNameA(one->Handle(), cls, sizeof cls);
  EXPECT_STREQ(cls, "TfrmFromResource");
  char caption[64] = {};
  GetWindowTextA(one->Handle(), caption, sizeof caption);
  EXPECT_STREQ(caption, "Resource form");
}

}  // namespace
