// The record layout of every command of a page, as one table. The page loader, the page
// writer, the source compiler and decompiler and the JSON dump all walk the same table, so a
// field cannot be read one way and written another.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kova {

enum class FieldKind : uint8_t {
  kExpr,      // u32 count + operation records
  kString,    // length-prefixed string
  kI32,       // signed 32-bit
  kU8,        // one byte
  kBlob,      // u32 length + bytes (a message text's document stream)
  kExprList,  // u32 n + n expressions
  kProps,     // one expression per property whose bit is set in the page's property table
};

struct FieldDef {
  const char* key;  // the name used in page source
  FieldKind kind;
  int32_t afterVersion;  // present only when the page version exceeds this (-1: always)
};

struct CommandInfo {
  uint8_t code;
  const char* name;      // the mnemonic of page source
  const char* japanese;  // the command's name in the authoring tool (UTF-8)
  std::vector<FieldDef> fields;
  bool creates;  // a component command: its first field is the property list
};

inline constexpr int kCommandCodes = 61;
inline constexpr int kPropertyCount = 162;
inline constexpr int kPropertyRecordBytes = 21;

// Nothing for codes without a command.
const CommandInfo* CommandByCode(int code);
const CommandInfo* CommandByName(std::string_view name);

}  // namespace kova
