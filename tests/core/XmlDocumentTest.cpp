// XmlDocument against the system's MSXML DOM (Wine's under test).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "core/ComRef.h"
#include "core/XmlDocument.h"
#include "tests/common/TempFolder.h"

namespace {

const unsigned kFlags = XmlNoValidation | XmlNoExternals;

const wchar_t kUpdateAnswer[] =
    L"<?xml version=\"1.0\"?>\r\n"
    L"<update>\r\n"
    L"  <version>1.7</version>\r\n"
    L"  <count>42</count>\r\n"
    L"  <files>\r\n"
    L"    <url name=\"Pellton.exe\">http://example.invalid/a</url>\r\n"
    L"    <note>skip me</note>\r\n"
    L"    <URL zip=\"pack.zip\"><name>child name</name>http://example.invalid/b</URL>\r\n"
    L"  </files>\r\n"
    L"</update>\r\n";

class XmlDocumentTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(1, xml_.Create(kFlags)); }

  std::wstring Value(const wchar_t* path, IXMLDOMNode* start = nullptr) {
    WideString out;
    if (!xml_.GetValue(path, out, start)) return L"<missing>";
    return out.CStr();
  }

  XmlDocument xml_;
};

// A UTF-8 text whose bytes were widened one per code unit, as the HTTP
// client hands over an answer.
std::wstring Widened(const char* bytes) {
  std::wstring out;
  for (const char* p = bytes; *p; ++p) out += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  return out;
}

}  // namespace

TEST_F(XmlDocumentTest, PathStepsIgnoreLetterCase) {
  ASSERT_EQ(1, xml_.LoadText(kUpdateAnswer));
  EXPECT_EQ(L"1.7", Value(L"update\\version"));
  EXPECT_EQ(L"1.7", Value(L"UPDATE\\VERSION"));
  EXPECT_EQ(L"Pellton.exe", Value(L"Update\\Files\\URL\\NAME"));
}

TEST_F(XmlDocumentTest, AttributeIsFoundBeforeChildOfTheSameName) {
  ASSERT_EQ(1, xml_.LoadText(L"<update><url name=\"attribute\"><name>child</name></url></update>"));
  EXPECT_EQ(L"attribute", Value(L"update\\url\\name"));
}

TEST_F(XmlDocumentTest, FirstPartMustNameTheRootElement) {
  ASSERT_EQ(1, xml_.LoadText(L"<answer><update><version>2.0</version></update></answer>"));
  WideString out(L"stale");
  EXPECT_EQ(0, xml_.GetValue(L"update\\version", out));
  EXPECT_TRUE(out.IsEmpty());
  EXPECT_EQ(L"2.0", Value(L"answer\\update\\version"));
}

TEST_F(XmlDocumentTest, ElementTextIncludesDescendantsAndHashTextIsItsOwn) {
  ASSERT_EQ(1, xml_.LoadText(L"<a><b>own<c>inner</c></b></a>"));
  EXPECT_EQ(L"owninner", Value(L"a\\b"));
  EXPECT_EQ(L"own", Value(L"a\\b\\#text"));
  EXPECT_EQ(L"<missing>", Value(L"a\\b\\c\\d"));
}

TEST_F(XmlDocumentTest, StartNodeBeginsTheWalkBelowIt) {
  ASSERT_EQ(1, xml_.LoadText(kUpdateAnswer));
  ComRef<IXMLDOMNode> files(xml_.FindPath(L"update\\files"));
  ASSERT_TRUE(files);
  EXPECT_EQ(L"Pellton.exe", Value(L"URL\\name", files.Get()));
  // Steps take the first element of a name in any letter case.
  EXPECT_EQ(L"<missing>", Value(L"url\\zip", files.Get()));
  // From a start node the first part is a child, not the root.
  EXPECT_EQ(L"<missing>", Value(L"update\\files", files.Get()));
}

TEST_F(XmlDocumentTest, GetNumberReadsDecimalOrAnswersTheDefault) {
  ASSERT_EQ(1, xml_.LoadText(kUpdateAnswer));
  EXPECT_EQ(42u, xml_.GetNumber(L"update\\count", 7));
  EXPECT_EQ(7u, xml_.GetNumber(L"update\\missing", 7));
  EXPECT_EQ(7u, xml_.GetNumber(L"update\\files\\note", 7));  // text without a number
}

TEST_F(XmlDocumentTest, WidenedUtf8AnswerLoadsWithItsRealText) {
  std::wstring text = Widened(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<update><info>Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC</info></update>");
  ASSERT_EQ(1, xml_.LoadText(text.c_str()));
  EXPECT_EQ(L"Gr\u00FC\u00DFe \u20AC", Value(L"update\\info"));
}

TEST_F(XmlDocumentTest, Utf16TextLoadsAsItStands) {
  ASSERT_EQ(1, xml_.LoadText(L"<a>\u03A9mega \u4E2D</a>"));
  EXPECT_EQ(L"\u03A9mega \u4E2D", Value(L"a"));
  ASSERT_EQ(1, xml_.LoadText(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><b>\u0141\u00FC</b>"));
  EXPECT_EQ(L"\u0141\u00FC", Value(L"b"));
}

TEST_F(XmlDocumentTest, MisdeclaredUtf16TextLoadsWithoutItsDeclaration) {
  // Real UTF-16 that still claims to be UTF-8 (e.g. a saved document's
  // text): the low bytes are no UTF-8, so the declaration is dropped.
  ASSERT_EQ(1, xml_.LoadText(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a x=\"encoding='k'\">\u0141\u00FC\u03A9</a>"));
  EXPECT_EQ(L"\u0141\u00FC\u03A9", Value(L"a"));
  EXPECT_EQ(L"encoding='k'", Value(L"a\\x"));  // only the declaration is touched
}

TEST_F(XmlDocumentTest, BrokenTextFailsAndEmptiesTheDocument) {
  ASSERT_EQ(1, xml_.LoadText(L"<a>1</a>"));
  EXPECT_EQ(0, xml_.LoadText(L"<a><b></a>"));
  EXPECT_EQ(0, xml_.LoadText(L""));
  EXPECT_EQ(0, xml_.LoadText(nullptr));
  EXPECT_EQ(L"<missing>", Value(L"a"));
}

TEST(XmlDocumentLifecycle, EveryOperationFailsWithoutADocument) {
  XmlDocument xml;
  WideString out(L"stale");
  EXPECT_EQ(0, xml.LoadText(L"<a/>"));
  EXPECT_EQ(0, xml.GetValue(L"a", out));
  EXPECT_TRUE(out.IsEmpty());
  EXPECT_EQ(5u, xml.GetNumber(L"a", 5));
  EXPECT_EQ(nullptr, xml.FindOrCreatePath(L"a"));
  EXPECT_EQ(0, xml.XmlText(out));
  ASSERT_EQ(1, xml.Create(kFlags));
  ASSERT_EQ(1, xml.LoadText(L"<a>1</a>"));
  // A second Create starts again with an empty document.
  ASSERT_EQ(1, xml.Create(kFlags));
  EXPECT_EQ(0, xml.GetValue(L"a", out));
  xml.Release();
  EXPECT_EQ(0, xml.LoadText(L"<a/>"));
}

namespace {
struct Visit {
  int kind;
  std::wstring name;
  std::wstring text;
};
struct VisitLog {
  std::vector<Visit> visits;
  XmlDocument* document = nullptr;
  bool sameDocument = true;
  std::wstring stopAt;
};
int Record(int kind, IXMLDOMNode* node, const wchar_t* name, const wchar_t* text, void* user,
           XmlDocument* document) {
  VisitLog* log = static_cast<VisitLog*>(user);
  if (!node || document != log->document) log->sameDocument = false;
  log->visits.push_back({kind, name, text});
  return log->stopAt == name ? 1 : 0;
}
}  // namespace

TEST_F(XmlDocumentTest, EnumerationVisitsAttributesThenChildElementsInOrder) {
  ASSERT_EQ(1, xml_.LoadText(L"<r><e a=\"1\" b=\"2\">text<x>3</x><!--c--><y>4</y></e></r>"));
  VisitLog log;
  log.document = &xml_;
  EXPECT_EQ(0, xml_.EnumerateChildren(L"r\\e", Record, &log));
  ASSERT_EQ(4u, log.visits.size());
  EXPECT_TRUE(log.sameDocument);
  EXPECT_EQ(1, log.visits[0].kind);
  EXPECT_EQ(L"a", log.visits[0].name);
  EXPECT_EQ(L"1", log.visits[0].text);
  EXPECT_EQ(L"b", log.visits[1].name);
  EXPECT_EQ(0, log.visits[2].kind);
  EXPECT_EQ(L"x", log.visits[2].name);
  EXPECT_EQ(L"3", log.visits[2].text);
  EXPECT_EQ(L"y", log.visits[3].name);
}

TEST_F(XmlDocumentTest, EnumerationStopsAtTheFirstAnswerOne) {
  ASSERT_EQ(1, xml_.LoadText(kUpdateAnswer));
  VisitLog log;
  log.document = &xml_;
  log.stopAt = L"note";
  EXPECT_EQ(1, xml_.EnumerateChildren(L"update\\files", Record, &log));
  ASSERT_EQ(2u, log.visits.size());
  EXPECT_EQ(L"url", log.visits[0].name);
  EXPECT_EQ(L"http://example.invalid/a", log.visits[0].text);

  VisitLog missing;
  EXPECT_EQ(0, xml_.EnumerateChildren(L"update\\nothing", Record, &missing));
  EXPECT_TRUE(missing.visits.empty());
}

TEST_F(XmlDocumentTest, FindOrCreatePathBuildsMissingStepsOnly) {
  ComRef<IXMLDOMNode> files(xml_.FindOrCreatePath(L"update\\files"));
  ASSERT_TRUE(files);
  ComRef<IXMLDOMNode> again(xml_.FindOrCreatePath(L"UPDATE\\FILES\\url"));
  ASSERT_TRUE(again);
  ASSERT_EQ(1, xml_.SetValue(again.Get(), L"name", L"a.dll"));
  EXPECT_EQ(L"a.dll", Value(L"update\\files\\url\\name"));
  // The existing steps were reused, not doubled.
  VisitLog log;
  log.document = &xml_;
  xml_.EnumerateChildren(L"update", Record, &log);
  ASSERT_EQ(1u, log.visits.size());
  log.visits.clear();
  xml_.EnumerateChildren(L"update\\files", Record, &log);
  EXPECT_EQ(1u, log.visits.size());
  // The document has its root; a path naming another cannot be made.
  EXPECT_EQ(nullptr, xml_.FindOrCreatePath(L"other\\files"));
}

TEST_F(XmlDocumentTest, SetValueReplacesAnAttributeInAnyLetterCase) {
  ASSERT_EQ(1, xml_.LoadText(L"<r Count=\"3\"/>"));
  ComRef<IXMLDOMNode> root(xml_.FindPath(L"r"));
  ASSERT_TRUE(root);
  ASSERT_EQ(1, xml_.SetValue(root.Get(), L"count", L"5"));
  EXPECT_EQ(5u, xml_.GetNumber(L"r\\count", 0));
  WideString xml;
  xml_.NodeXmlText(root.Get(), xml);
  EXPECT_EQ(L"<r Count=\"5\"/>", std::wstring(xml.CStr()));
}

TEST_F(XmlDocumentTest, ChildrenTextsInstructionsAndRemoval) {
  ComRef<IXMLDOMNode> root(xml_.CreateChild(nullptr, L"root"));
  ASSERT_TRUE(root);
  ComRef<IXMLDOMNode> child(xml_.CreateChild(root.Get(), L"item", L"first"));
  ASSERT_TRUE(child);
  ASSERT_EQ(1, xml_.SetText(child.Get(), L"second"));
  ASSERT_EQ(1, xml_.AddProcessingInstruction(L"xml", L"version=\"1.0\""));
  WideString xml;
  ASSERT_EQ(1, xml_.XmlText(xml));
  EXPECT_EQ(0, std::wstring(xml.CStr()).find(L"<?xml version=\"1.0\"?>")) << xml.CStr();
  EXPECT_EQ(L"second", Value(L"root\\item"));
  ASSERT_EQ(1, xml_.RemoveNode(child.Get()));
  EXPECT_EQ(L"<missing>", Value(L"root\\item"));
  EXPECT_EQ(nullptr, xml_.CreateChild(nullptr, L"second-root"));
}

TEST_F(XmlDocumentTest, SavedFileLoadsBackWithItsText) {
  TempFolder folder(L"xml");
  std::wstring path = folder.File(L"saved.xml");
  ASSERT_EQ(1, xml_.LoadText(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><s><t>Gr\u00FC\u00DFe \u03A9</t></s>"));
  ASSERT_EQ(1, xml_.SaveFile(path.c_str()));

  XmlDocument other;
  ASSERT_EQ(1, other.Create(kFlags));
  ASSERT_EQ(1, other.LoadFile(path.c_str()));
  WideString text;
  ASSERT_EQ(1, other.GetValue(L"s\\t", text));
  EXPECT_STREQ(L"Gr\u00FC\u00DFe \u03A9", text.CStr());
  EXPECT_EQ(0, other.LoadFile(folder.File(L"missing.xml").c_str()));
}

TEST_F(XmlDocumentTest, TextsAndFilesOverTheSizeCapAreRefusedBeforeParsing) {
  // A comment of dashes that the parser would take minutes to refuse.
  std::wstring dashes = L"<a><!--" + std::wstring(262144, L'-') + L"</a>";
  EXPECT_EQ(0, xml_.LoadText(dashes.c_str()));
  // Well-formed, but one code unit over the cap.
  std::wstring open = L"<a b=\"", close = L"\"/>";
  std::wstring fits = open + std::wstring(XmlDocument::MaxTextLength - open.size() - close.size(), L'v') + close;
  ASSERT_EQ(XmlDocument::MaxTextLength, fits.size());
  EXPECT_EQ(1, xml_.LoadText(fits.c_str()));
  EXPECT_EQ(XmlDocument::MaxTextLength - open.size() - close.size(), Value(L"a\\b").size());
  std::wstring over = open + std::wstring(XmlDocument::MaxTextLength - open.size() - close.size() + 1, L'v') + close;
  EXPECT_EQ(0, xml_.LoadText(over.c_str()));

  TempFolder folder(L"xml");
  ASSERT_TRUE(folder.Write(L"big.xml", "<a b=\"" + std::string(XmlDocument::MaxFileSize, 'v') + "\"/>"));
  EXPECT_EQ(0, xml_.LoadFile(folder.File(L"big.xml").c_str()));
}

TEST_F(XmlDocumentTest, LookupsAmongThousandsOfAttributesStayLinear) {
  // Walking the attribute map by index costs the whole map for each
  // attribute on some DOMs: 5,500 attributes and 300 lookups of missing
  // ones would take many minutes that way.
  std::wstring text = L"<a";
  for (int i = 0; i < 5500; ++i) text += L" n" + std::to_wstring(i) + L"=\"" + std::to_wstring(i % 10) + L"\"";
  text += L"><b>child</b></a>";
  ASSERT_LE(text.size(), XmlDocument::MaxTextLength);
  ASSERT_EQ(1, xml_.LoadText(text.c_str()));
  for (int i = 0; i < 300; ++i) EXPECT_EQ(L"<missing>", Value((L"a\\missing" + std::to_wstring(i)).c_str()));
  EXPECT_EQ(L"9", Value(L"a\\N5499"));
  EXPECT_EQ(L"child", Value(L"a\\B"));
  struct Count {
    int attributes = 0, elements = 0;
  } count;
  xml_.EnumerateChildren(L"a", [](int kind, IXMLDOMNode*, const wchar_t*, const wchar_t*, void* user,
                                  XmlDocument*) {
    Count* c = static_cast<Count*>(user);
    (kind == 1 ? c->attributes : c->elements)++;
    return 0;
  }, &count);
  EXPECT_EQ(5500, count.attributes);
  EXPECT_EQ(1, count.elements);
}

TEST_F(XmlDocumentTest, ElementPathsPassOverAttributesOfTheSameName) {
  ASSERT_EQ(1, xml_.LoadText(L"<top update=\"1\"><Update last=\"x\"/></top>"));
  ComRef<IXMLDOMNode> element(xml_.FindElementPath(L"top\\update", nullptr, false));
  ASSERT_TRUE(element);
  WideString out;
  ASSERT_EQ(1, xml_.GetValue(L"last", out, element.Get()));
  EXPECT_STREQ(L"x", out.CStr());
  EXPECT_FALSE(ComRef<IXMLDOMNode>(xml_.FindElementPath(L"top\\missing", nullptr, false)));
  ComRef<IXMLDOMNode> made(xml_.FindElementPath(L"top\\missing\\deeper", nullptr, true));
  ASSERT_TRUE(made);
  EXPECT_EQ(L"1", Value(L"top\\update"));  // the attribute still answers a plain path
}

TEST_F(XmlDocumentTest, AnAttributeValueKeepsTheWhiteSpaceAtItsEnds) {
  ASSERT_EQ(1, xml_.LoadText(L"<top a=\"  x y \"><b>  text  </b></top>"));
  EXPECT_EQ(L"  x y ", Value(L"top\\a"));
  ComRef<IXMLDOMNode> top(xml_.FindPath(L"top"));
  ASSERT_EQ(1, xml_.SetValue(top.Get(), L"c", L" "));
  EXPECT_EQ(L" ", Value(L"top\\c"));
}

TEST_F(XmlDocumentTest, AMalformedCommentIsRefusedWithoutParsing) {
  // Dashes within the cap: the parser would take minutes to refuse them.
  std::wstring dashes = L"<a><!--" + std::wstring(60000, L'-') + L"</a>";
  EXPECT_EQ(0, xml_.LoadText(dashes.c_str()));
  EXPECT_EQ(0, xml_.LoadText(L"<a><!-- x -- y --></a>"));
  EXPECT_EQ(0, xml_.LoadText(L"<a><!-- never ended </a>"));
  EXPECT_EQ(0, xml_.LoadText(L"<a><!---></a>"));
  // Comments that keep the rule, and the markers inside CDATA and
  // processing instructions, load.
  ASSERT_EQ(1, xml_.LoadText(L"<a><!-- fine - still --><!----><![CDATA[<!-- -- ]]><?pi <!-- -- ?>x</a>"));
  EXPECT_EQ(L"<!-- -- x", Value(L"a"));
  TempFolder folder(L"xml");
  ASSERT_TRUE(folder.Write(L"dashes.xml", "<a><!--" + std::string(60000, '-') + "</a>"));
  EXPECT_EQ(0, xml_.LoadFile(folder.File(L"dashes.xml").c_str()));
}
