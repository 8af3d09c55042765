// Stored window data: the text form of a window's components and property values (the syntax
// is shown at the top of components/Components.h), its parser and the loader that builds the
// components from it.
//
// A form's text is found by its class name: first among texts registered with
// RegisterStoredForm, then as an RCDATA resource of that name in the executable (each program
// or test program lists its own forms in its .rc file).
#pragma once

#include <string>
#include <vector>

#include "components/Components.h"

// --- The parsed text (platform-free) ------------------------------------------------------------

struct TStoredValue {
  enum TKind { vkString, vkInteger, vkFloat, vkIdent, vkList, vkSet, vkCollection, vkBinary };
  TKind Kind = vkString;
  std::string Text;                 // string, identifier or binary bytes
  int64_t Integer = 0;
  double Float = 0;
  std::vector<std::string> Items;   // list lines or set element names
  struct TItem;
  std::vector<TItem> CollectionItems;
  int Line = 0;
};

struct TStoredProperty {
  std::string Path;  // "Caption", "Font.Name"
  TStoredValue Value;
  int Line = 0;
};

struct TStoredValue::TItem {
  std::vector<TStoredProperty> Properties;
};

struct TStoredObject {
  std::string Name;
  std::string ClassName;
  std::vector<TStoredProperty> Properties;
  std::vector<TStoredObject> Children;
  int Line = 0;
};

// Parses a stored text; raises EReadError naming the line for any fault.
TStoredObject ParseStoredText(const std::string& text);

// --- Loading ------------------------------------------------------------------------------------

// Reads `text` into `root` (whose class must be the stored root class): sets the root's
// properties, creates each stored component owned by the root in stored order (nested ones
// also get their enclosing object through SetParentComponent), sets the published fields of
// the root, sets every property, resolves references and event handlers once all components
// exist, then calls Loaded on the root and on each component in stored order. On a fault,
// the components created so far are freed and EReadError is raised naming the source and line.
void ReadComponentText(TComponent* root, const std::string& text, const std::string& sourceName = "");

// Registers the stored text of a form class (used before the executable's resources).
void RegisterStoredForm(const std::string& className, const std::string& text);
void UnregisterStoredForm(const std::string& className);
// The stored text of a class: false when there is none.
bool FindStoredForm(const std::string& className, std::string* text);
