// Stored layouts in the text form format:
//
//   object Name: TClass            (or "inherited" / "inline"; "TClass[2]" carries an order)
//     Property = 12                integers ($1F hexadecimal), floats (1.5, 2E3)
//     Font.Name = 'Verdana'        strings: 'it''s', #13#10, joined by '+' across lines
//     BorderStyle = bsDialog       identifiers (dotted ones too: DataModule1.Images)
//     Options = [goEditing, goTabs] sets;  ( 'a' 'b' ) lists;  <item ... end> collections;
//     Picture.Data = { 0A1B... }   binary blocks
//     object Child: TButton ... end
//   end
//
// ParseLayout reads such a text into an object tree (the syntax alone: no class or property is
// looked up); ReadLayout applies a tree to a component: it creates the children by registered
// class name (owned by the root, placed on their parent control), sets published properties
// by name and binds events to the root's published methods by name. Every failure names the
// layout and the line.
#pragma once

#include "rtl/Component.h"
#include "rtl/Exception.h"
#include "rtl/Resources.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

// A layout names a class that is not registered.
HOST_EXCEPTION_CLASS(EClassNotFound, EReadError);
// A layout names a property the class does not publish.
HOST_EXCEPTION_CLASS(EUnknownProperty, EReadError);

struct TLayoutItem;

struct TLayoutValue {
  enum TKind { lvInteger, lvFloat, lvString, lvIdent, lvSet, lvList, lvCollection, lvBinary };
  TKind Kind = lvInteger;
  int Line = 0;
  int64_t Integer = 0;
  double Float = 0;
  UnicodeString Text;                  // a string, or an identifier
  std::vector<UnicodeString> Elements; // set elements, as written
  std::vector<TLayoutValue> Items;     // list entries
  std::vector<TLayoutItem> Collection; // collection items
  std::vector<uint8_t> Bytes;          // binary block
};

struct TLayoutProperty {
  UnicodeString Name; // dotted for properties of sub-objects ("Font.Name")
  TLayoutValue Value;
  int Line = 0;
};

struct TLayoutItem {
  std::vector<TLayoutProperty> Properties;
  int Line = 0;
};

struct TLayoutObject {
  enum TKind { loObject, loInherited, loInline };
  TKind Kind = loObject;
  UnicodeString Name; // empty for an unnamed object
  UnicodeString ClassName;
  int Order = -1; // the "[n]" after the class name, or -1
  int Line = 0;
  std::vector<TLayoutProperty> Properties;
  std::vector<TLayoutObject> Children;
};

// Reads a layout text (UTF-8, with or without a byte order mark; CRLF, LF or CR line ends).
// Source names the layout in messages (a resource or file name). A syntax error raises
// EReadError naming Source and the line.
TLayoutObject ParseLayout(std::string_view Text, std::u16string_view Source);

// What the reader asks its caller when a layout refers to something the root does not have, as
// a designer that loads a layout without the code behind it must. By default both are errors.
struct TLayoutReaderEvents {
  // The root publishes no method of that name: true leaves the event unbound.
  std::function<bool(const UnicodeString& MethodName)> OnMethodNotFound;
  // An inherited component the root does not have: true creates it as a new component.
  std::function<bool(const UnicodeString& ComponentName)> OnAncestorNotFound;
  // A property, a child object or the root's name that cannot be read: true skips it (a child
  // with everything in it; the root keeps the name it has) and reading goes on.
  std::function<bool(const EReadError& Error)> OnError;
};

// Applies Layout to Root, as the creation routine does with a stored layout. The class name of
// the root object is not checked (a class reads the layout stored under its own name). The
// root takes the layout's name, made unique among its owner's components ("Name_1").
// Unknown classes raise EClassNotFound, unknown properties EUnknownProperty, other failures
// (bad values, unknown methods) EReadError; each names Source and the line. Components created
// before a failure stay owned by Root.
void ReadLayout(TComponent* Root, const TLayoutObject& Layout, std::u16string_view Source,
                const TLayoutReaderEvents& Events = {});

// Reads every stored layout of Instance's class and its ancestors, the farthest ancestor
// first: for each class, the resource named after its upper-cased class name in the module
// that defines the class (Module for Instance's own class), when there is one.
void ReadComponentLayouts(TComponent* Instance, HINSTANCE Module);
