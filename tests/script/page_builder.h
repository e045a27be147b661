// Builds compiled pages and small titles in code, field by field in record order.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "expr/parser.h"
#include "script/page.h"
#include "script/project_file.h"
#include "testutil/temp_dir.h"

namespace kova::test {

inline PageExpr X(const std::string& text) {
  PageExpr e;
  if (text.empty()) {
    e.stored = {0, 0, 0, 0};
  } else {
    TBuildKovaParser b;
    b.Compile(text);
    e.stored = b.Save();
  }
  e.parser = std::make_shared<TKovaParser>();
  e.parser->Load(e.stored);
  return e;
}
inline FieldValue S(std::string s) {
  return FieldValue(std::move(s));
}
inline FieldValue I(int32_t v) {
  return FieldValue(v);
}
inline FieldValue B(uint8_t v) {
  return FieldValue(v);
}
inline FieldValue E(const std::string& text) {
  return FieldValue(X(text));
}
inline FieldValue L(const std::vector<std::string>& texts) {
  std::vector<PageExpr> list;
  for (const auto& t : texts)
    list.push_back(X(t));
  return FieldValue(std::move(list));
}

class PageBuilder {
 public:
  explicit PageBuilder(std::string name, int32_t version = 110) : page_(std::move(name)) {
    page_.SetVersion(version);
    page_.StoreTable();
  }
  // A command by mnemonic with its fields in record order; `runOn` 0 yields after it.
  PageBuilder& Add(const char* mnemonic, std::vector<FieldValue> fields, int32_t indent = 0,
                   uint8_t runOn = 1) {
    const CommandInfo* info = CommandByName(mnemonic);
    auto c = CommandFactory::Instance().Make(info->code, page_);
    c->codeByte = info->code;
    c->indent = indent;
    c->runOn = runOn;
    c->line = page_.Count() + 1;
    c->fields = std::move(fields);
    page_.Add(std::move(c));
    return *this;
  }
  Bytes Build() const { return page_.Save(); }
  TPage& Page() { return page_; }

 private:
  TPage page_;
};

inline Bytes Project(const std::string& start, std::vector<ProjectVar> vars = {},
                     const std::string& exitPage = "") {
  ProjectFile p;
  p.title = "Test";
  p.screenWidth = 640;
  p.screenHeight = 480;
  p.startPage = start;
  p.exitPage = exitPage;
  p.vars = std::move(vars);
  return p.Write();
}

}  // namespace kova::test
