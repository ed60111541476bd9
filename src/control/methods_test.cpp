#include "control/methods.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support.h"

namespace vellumine {
namespace {

TEST(MethodTable, NamesAndParametersFollowTheInterface) {
  // name, then one letter per parameter after Document: i integer, s text.
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"SetBG_Random", ""},
      {"SetCalender", "ii"},
      {"AddWallPaper", "s"},
      {"RemoveWallPaper", "i"},
      {"SetBG", "i"},
      {"SetWndPos", "siii"},
      {"InitPage", ""},
      {"ChangeOption", "si"},
      {"OpenFile", ""},
      {"OpenFolder", ""},
      {"AddLink", "si"},
      {"ChangeLink", "isi"},
      {"RemoveLink", "ii"},
      {"Open", "ii"},
      {"ChangeLinkPage", "ii"},
      {"ChangeDate", "iii"},
      {"ChangeSchedule", "siii"},
      {"AddMemo", "ss"},
      {"RenewMemo", "ssi"},
      {"RemoveMemo", "i"},
      {"EditMemo", "i"},
      {"MakeLinkMenu", "si"},
      {"ChangeLinkMenu", "i"},
      {"RemoveLinkMenu", "i"},
      {"PermuteLink", "iii"},
      {"ChangeWindowOption", "ssi"},
      {"ChangeMemoPage", "i"},
  };
  const std::span<const Method> methods = Methods();
  ASSERT_EQ(methods.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    std::string kinds;
    for (const MethodParam& p : methods[i].params) kinds += p.kind == ParamKind::kInt ? 'i' : 's';
    EXPECT_EQ(methods[i].name, expected[i].first);
    EXPECT_EQ(kinds, expected[i].second) << expected[i].first;
    EXPECT_EQ(methods[i].dispid, static_cast<std::int32_t>(i + 1)) << expected[i].first;
    // Only the window placement and the launch leave the page alone.
    EXPECT_EQ(methods[i].takes_document,
              expected[i].first != "SetWndPos" && expected[i].first != "Open")
        << expected[i].first;
    EXPECT_EQ(FindMethod(expected[i].first), &methods[i]);
  }
  EXPECT_EQ(FindMethod("setcalender"), nullptr);
  EXPECT_EQ(FindMethod(""), nullptr);
}

// Answers each parameter by its number and kind, and notes what was asked.
class NotingSource : public ArgumentSource {
 public:
  std::int32_t Int(std::size_t i) override {
    asked += 'i' + std::to_string(i);
    return 0;
  }
  TextArg Text(std::size_t i) override {
    asked += 's' + std::to_string(i);
    return std::nullopt;
  }
  std::string asked;
};

TEST(MethodTable, EachInvokerAsksEveryParameterOnceInOrderAsItsKind) {
  testing::Fixture f;
  for (const Method& method : Methods()) {
    if (method.name == "Open") continue;  // launches: tried on its own below
    std::string expected;
    for (std::size_t i = 0; i < method.params.size(); ++i) {
      expected += (method.params[i].kind == ParamKind::kInt ? 'i' : 's') + std::to_string(i);
    }
    NotingSource source;
    EXPECT_EQ(method.invoke(f.control(), &f.doc(), source), kOk) << method.name;
    EXPECT_EQ(source.asked, expected) << method.name;
  }
}

// Hands out fixed values by parameter number.
class ValueSource : public ArgumentSource {
 public:
  ValueSource(std::vector<std::int32_t> ints, std::vector<TextArg> texts)
      : ints_(std::move(ints)), texts_(std::move(texts)) {}
  std::int32_t Int(std::size_t i) override { return ints_.at(i); }
  TextArg Text(std::size_t i) override { return texts_.at(i); }

 private:
  std::vector<std::int32_t> ints_;
  std::vector<TextArg> texts_;
};

TEST(MethodTable, AnInvokerCallsItsOwnMethodWithTheArgumentsInPlace) {
  // Through the table, and directly, one control after the other (each
  // seeds the item keys anew): the same page and the same files.
  testing::Fixture table;
  ASSERT_EQ(table.control().InitPage(table.doc()), kOk);
  ValueSource memo({0, 0, 0}, {u"subject", u"message"});
  FindMethod("AddMemo")->invoke(table.control(), &table.doc(), memo);
  ValueSource renew({0, 0, 0}, {u"s2", u"m2", std::nullopt});
  FindMethod("RenewMemo")->invoke(table.control(), &table.doc(), renew);
  ValueSource date({2005, 3, 9}, {});
  FindMethod("ChangeDate")->invoke(table.control(), &table.doc(), date);
  ValueSource schedule({std::int32_t{0}, 2005, 3, 9}, {u"予定"});
  FindMethod("ChangeSchedule")->invoke(table.control(), &table.doc(), schedule);
  ValueSource place({0, 40, 50, 1}, {u"calender"});
  FindMethod("SetWndPos")->invoke(table.control(), nullptr, place);  // no document needed

  testing::Fixture direct;
  ASSERT_EQ(direct.control().InitPage(direct.doc()), kOk);
  direct.control().AddMemo(direct.doc(), u"subject", u"message");
  direct.control().RenewMemo(direct.doc(), u"s2", u"m2", 0);
  direct.control().ChangeDate(direct.doc(), 2005, 3, 9);
  direct.control().ChangeSchedule(direct.doc(), u"予定", 2005, 3, 9);
  direct.control().SetWndPos(u"calender", 40, 50, 1);

  EXPECT_EQ(table.doc().Serialize(), direct.doc().Serialize());
  EXPECT_EQ(testing::Show(testing::LoadListed(table.data())),
            testing::Show(testing::LoadListed(direct.data())));
  EXPECT_EQ(table.FileBytes("config"), direct.FileBytes("config"));
  EXPECT_NE(table.doc().Serialize().find("s2"), std::string::npos);
}

// The COM interface's type library declares each method with its DISPID;
// the control's object serves the table by these numbers.
TEST(MethodTable, TheComInterfaceDeclaresTheTableByDispid) {
  std::ifstream in(std::string(VELLUMINE_SOURCE_DIR) + "/src/com/vellumine.idl");
  ASSERT_TRUE(in) << "the interface definition is missing";
  std::stringstream text;
  text << in.rdbuf();
  const std::string idl = text.str();
  const std::regex declaration(R"(\[id\((\d+)\)[^\]]*\]\s*HRESULT\s+(\w+)\s*\(([^)]*)\))");
  const std::regex param(R"(\[in\]\s*(IDispatch\s*\*|BSTR|long)\s*(\w+))");
  std::size_t declared = 0;
  for (auto it = std::sregex_iterator(idl.begin(), idl.end(), declaration);
       it != std::sregex_iterator(); ++it) {
    ++declared;
    const int dispid = std::stoi((*it)[1]);
    const std::string name = (*it)[2];
    const Method* method = FindMethod(name);
    ASSERT_NE(method, nullptr) << name << " is declared but not in the table";
    EXPECT_EQ(method->dispid, dispid) << name;
    // The parameters: the document first when the method takes it, then
    // the table's, of the same names and kinds.
    const std::string params = (*it)[3];
    std::vector<std::pair<std::string, std::string>> found;
    for (auto p = std::sregex_iterator(params.begin(), params.end(), param);
         p != std::sregex_iterator(); ++p) {
      found.emplace_back((*p)[1], (*p)[2]);
    }
    std::vector<std::pair<std::string, std::string>> want;
    if (method->takes_document) want.emplace_back("IDispatch*", "Document");
    for (const MethodParam& p : method->params) {
      want.emplace_back(p.kind == ParamKind::kInt ? "long" : "BSTR", std::string(p.name));
    }
    for (auto& [type, n] : found) type = std::regex_replace(type, std::regex(R"(\s+)"), "");
    EXPECT_EQ(found, want) << name;
  }
  EXPECT_EQ(declared, Methods().size());
}

}  // namespace
}  // namespace vellumine
