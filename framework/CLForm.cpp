#include "framework/CLForm.h"

#include "framework/CLEngine.h"
#include "framework/CLEngineRules.h"
#include "lang/CLMultiLang.h"

QM_REGISTER_CLASS(TCLForm, b) {
  b.Bool("RuntimeSetSkinData", &TCLForm::RuntimeSetSkinData);
  b.Bool("RuntimeSetLanguageData", &TCLForm::RuntimeSetLanguageData);
  b.Bool("RunTimeSetFormProperties", &TCLForm::RunTimeSetFormProperties);
}

void TCLForm::Loaded() {
  TComponent::Loaded();
  if (Designing()) return;
  TCLEngine* engine = GetEngine();
  if (RuntimeSetSkinData && engine && engine->SkinData())
    ApplySkinData(As<TWinControl>(Owner()), engine->SkinData());
  if (RuntimeSetLanguageData && engine && engine->LanguageData())
    ApplyLanguageData(As<TWinControl>(Owner()), engine->LanguageData());
  if (RunTimeSetFormProperties && dynamic_cast<TCustomForm*>(Owner())) ApplyFormProperties(Owner());
}

void TCLForm::ApplySkinData(TComponent* window, TComponent* skinData) {
  if (!window || !skinData) return;
  static const std::vector<TTypeKind> kKinds = {TTypeKind::tkSString, TTypeKind::tkClass, TTypeKind::tkLString,
                                                TTypeKind::tkWString};
  for (int i = 0; i < window->ComponentCount(); ++i) {
    TComponent* c = window->Components(i);
    for (const TPropInfo* p : GetPropList(c, kKinds)) {
      if (p->Kind != TTypeKind::tkClass || !clengine::SameText(p->TypeName, "TskSkinData")) continue;
      if (!p->Readable() || !p->Writable()) continue;
      if (!GetObjectProp(c, *p)) SetObjectProp(c, *p, skinData);
    }
  }
}

void TCLForm::ApplyLanguageData(TComponent* window, TCLMultiLangData* data) {
  if (!window || !data) return;
  for (int i = 0; i < window->ComponentCount(); ++i) {
    TComponent* c = window->Components(i);
    // Exactly the translator class: a derived translator manages its own language data.
    if (c->ClassName() != "TCLMultiLang") continue;
    auto* translator = dynamic_cast<TCLMultiLang*>(c);
    if (translator && !translator->LanguageData()) translator->SetLanguageData(data);
  }
}

void TCLForm::ApplyFormProperties(TComponent* window) {
  auto* form = dynamic_cast<TCustomForm*>(window);
  if (!form) return;
  form->Scaled = false;
  form->AutoScroll = false;
  form->AutoSize = false;
  form->Position = poMainFormCenter;
}
