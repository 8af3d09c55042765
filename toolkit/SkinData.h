// Skin components: the skin data that controls draw from, the skin stored with a window, and
// the toolkit's own texts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/Components.h"
#include "toolkit/Skin.h"

class TskSkinData;

// Something that draws from a skin data and must repaint when its skin changes.
class TskSkinClient {
 public:
  virtual void SkinChanged() = 0;
  // The skin data is being destroyed; forget it.
  virtual void SkinDataGone(TskSkinData* data) = 0;

 protected:
  ~TskSkinClient() = default;
};

// A skin file held in the window's stored data ("Frost.skn" for the main window), kept
// compressed exactly as the skin file.
class TskCompressedStoredSkin : public TComponent {
  QM_CLASS(TskCompressedStoredSkin, TComponent)
 public:
  explicit TskCompressedStoredSkin(TComponent* owner);
  std::string FileName;  // the name it was stored under, e.g. "Frost.skn"
  const std::string& CompressedData() const { return data_; }
  void SetCompressedData(const std::string& bytes);
  bool Empty() const { return data_.empty(); }
  // Reads a skin file into the component; false (and unchanged) when it is not a valid skin.
  bool LoadFromFile(const std::string& path, std::string* error = nullptr);

 private:
  std::string data_;
};

// The toolkit's own texts: button captions of the message dialog, the do-not-show-again box,
// the window menu. The engine merges the language's "SkinRes" section into ResStrings.
class TskResourceStrData : public TComponent {
  QM_CLASS(TskResourceStrData, TComponent)
 public:
  explicit TskResourceStrData(TComponent* owner);
  TStrings* ResStrings() const { return strings_.get(); }
  void SetResStrings(TStrings* value) { strings_->Assign(value); }
  // The text of `key`, or the built-in text when the list has none.
  std::string Text(const std::string& key) const;
  static std::string DefaultText(const std::string& key);
  static std::vector<std::string> DefaultLines();  // "KEY=text" lines of every built-in text

 private:
  std::unique_ptr<TStringList> strings_;
};

class TskSkinData : public TComponent {
  QM_CLASS(TskSkinData, TComponent)
 public:
  explicit TskSkinData(TComponent* owner);
  ~TskSkinData() override;

  // Loads a skin file and applies it to every linked control. A missing, damaged or hostile
  // file is refused: the result is false, `LastError` says why and the current skin stays.
  bool LoadFromCompressedFile(const std::string& path);
  bool LoadFromBytes(const std::string& bytes);
  const std::string& LastError() const { return lastError_; }

  // The skin in effect: the loaded one, or the built-in one.
  std::shared_ptr<const TskSkin> Skin() const { return skin_ ? skin_ : TskSkin::BuiltIn(); }
  bool Active() const { return Skin() != nullptr; }
  std::string SkinName() const { return Skin()->Name(); }

  // Setting a stored skin applies it at once; setting none only forgets it.
  TskCompressedStoredSkin* CompressedStoredSkin() const { return storedSkin_; }
  void SetCompressedStoredSkin(TskCompressedStoredSkin* value);
  TskResourceStrData* ResourceStrData() const { return resourceStrData_; }
  void SetResourceStrData(TskResourceStrData* value);
  // A text of the toolkit: from ResourceStrData when linked, else the built-in text.
  std::string ResText(const std::string& key) const;

  bool SkinnableForm() const { return skinnableForm_; }
  void SetSkinnableForm(bool value);
  bool ShowButtonGlowFrames() const { return buttonGlow_; }
  void SetShowButtonGlowFrames(bool value);
  bool ShowCaptionButtonGlowFrames() const { return captionGlow_; }
  void SetShowCaptionButtonGlowFrames(bool value);

  void AddClient(TskSkinClient* c);
  void RemoveClient(TskSkinClient* c);
  // Tells every linked control to repaint with the current skin.
  void NotifyClients();
  // How often the skin in effect changed (lets tests and callers see a switch happen).
  int ChangeCount() const { return changeCount_; }

  // The skin data that controls without a link of their own use: the first one created in
  // the process (the main window's), or null.
  static TskSkinData* Default();

  void Loaded() override;

 protected:
  void Notification(TComponent* c, TOperation op) override;

 private:
  void ApplyStoredSkin();

  std::shared_ptr<const TskSkin> skin_;
  std::string lastError_;
  TskCompressedStoredSkin* storedSkin_ = nullptr;
  TskResourceStrData* resourceStrData_ = nullptr;
  bool skinnableForm_ = true;
  bool buttonGlow_ = true;
  bool captionGlow_ = true;
  int changeCount_ = 0;
  std::vector<TskSkinClient*> clients_;
};
