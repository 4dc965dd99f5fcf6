#include "html/wstrings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "rtl/codepage.h"
#include "rtl/exceptions.h"
#include "support/temp_dir.h"

namespace {

using html::TDuplicates;
using html::TWStringList;
using html::TWStrings;
using html::WideString;

std::vector<WideString> Lines(const TWStrings& list) {
  std::vector<WideString> lines;
  for (int i = 0; i < list.GetCount(); ++i) {
    lines.push_back(list.Get(i));  // NOLINT(performance-inefficient-vector-operation)
  }
  return lines;
}

void Fill(TWStringList& list, std::initializer_list<const char16_t*> lines) {
  for (const char16_t* line : lines) {
    list.Add(line);
  }
}

// Messages are compared as UTF-8 text.
class WStringsTest : public ::testing::Test {
 protected:
  rtl::ScopedAnsiCodePage codePage_{rtl::CP_UTF8_};
};

// Runs `call` and returns the message of the EStringListError it raises.
std::string ListError(const std::function<void()>& call) {
  try {
    call();
  } catch (const rtl::EStringListError& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(CompareWideOrdinal, OrdersByUnsignedCodeUnit) {
  struct Case {
    std::u16string_view a, b;
    int expected;
  };
  const Case cases[] = {
      {u"", u"", 0},          {u"", u"a", -1},
      {u"a", u"", 1},         {u"B", u"a", -1},
      {u"a", u"B", 1},        {u"z", u"\u00E9", -1},
      {u"ab", u"a", 1},       {u"abc", u"abd", -1},
      {u"same", u"same", 0},  {u"\xD800", u"\xFFFF", -1},  // code units, not code points
      {u"\x7F", u"\x80", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(html::CompareWideOrdinal(c.a, c.b), c.expected)
        << rtl::WideToAnsi(c.a, rtl::CP_UTF8_) << " vs " << rtl::WideToAnsi(c.b, rtl::CP_UTF8_);
  }
}

TEST_F(WStringsTest, SetTextSplitsAtEveryKindOfLineBreak) {
  struct Case {
    std::u16string_view text;
    std::vector<WideString> lines;
  };
  const Case cases[] = {
      {u"a\r\nb\n\nc", {u"a", u"b", u"", u"c"}},
      {u"a\n\rb", {u"a", u"", u"b"}},
      {std::u16string_view(u"x\0y", 3), {u"x"}},
      {u"", {}},
      {u"one\r\n", {u"one"}},
      {u"lone\rcr", {u"lone", u"cr"}},
      {u"\r\n\r\n", {u"", u""}},
      {u"no break", {u"no break"}},
      {u"\uFEFFbom", {u"\uFEFFbom"}},
  };
  for (const Case& c : cases) {
    TWStringList list;
    list.Add(u"old");
    list.SetText(c.text);
    EXPECT_EQ(Lines(list), c.lines) << rtl::WideToAnsi(c.text, rtl::CP_UTF8_);
  }
}

TEST_F(WStringsTest, GetTextEndsEveryLineWithCrLf) {
  TWStringList list;
  EXPECT_EQ(list.GetText(), u"");
  Fill(list, {u"a", u"b"});
  EXPECT_EQ(list.GetText(), u"a\r\nb\r\n");
  list.Add(u"");
  EXPECT_EQ(list.GetText(), u"a\r\nb\r\n\r\n");
  // Text and lines round-trip.
  TWStringList copy;
  copy.SetText(list.GetText());
  EXPECT_EQ(Lines(copy), Lines(list));
}

TEST_F(WStringsTest, StreamsAreRawLittleEndianUtf16) {
  TWStringList list;
  Fill(list, {u"A\u00E9", u"\u20AC"});
  std::ostringstream out;
  list.SaveToStream(out);
  const std::string expected("A\0\xE9\0\r\0\n\0\xAC\x20\r\0\n\0", 14);
  EXPECT_EQ(out.str(), expected);

  TWStringList loaded;
  std::istringstream in(out.str());
  loaded.LoadFromStream(in);
  EXPECT_EQ(Lines(loaded), Lines(list));
}

TEST_F(WStringsTest, LoadFromStreamReadsFromThePositionAndLeavesAnOddByte) {
  // "ab" after two bytes of something else, then one odd byte.
  std::istringstream in(std::string("xxa\0b\0z", 7));
  in.seekg(2);
  TWStringList list;
  list.LoadFromStream(in);
  EXPECT_EQ(Lines(list), std::vector<WideString>{u"ab"});
  EXPECT_EQ(in.tellg(), 6);

  // A byte-order mark is text like any other.
  std::istringstream bom(std::string("\xFF\xFEh\0i\0", 6));
  list.LoadFromStream(bom);
  EXPECT_EQ(Lines(list), std::vector<WideString>{u"\uFEFFhi"});

  // At the end: an empty list.
  list.LoadFromStream(bom);
  EXPECT_EQ(list.GetCount(), 0);
}

// A stream buffer without positions, like a pipe.
class PipeBuf : public std::streambuf {
 public:
  explicit PipeBuf(std::string data) : data_(std::move(data)) {
    setg(data_.data(), data_.data(), data_.data() + data_.size());
  }

 private:
  std::string data_;
};

// Accepts `room` bytes, then refuses.
class FullBuf : public std::streambuf {
 public:
  explicit FullBuf(std::size_t room) : room_(room) {}
  std::string written;

 protected:
  int_type overflow(int_type c) override {
    if (written.size() >= room_ || traits_type::eq_int_type(c, traits_type::eof())) {
      return traits_type::eof();
    }
    written.push_back(traits_type::to_char_type(c));
    return c;
  }

 private:
  std::size_t room_;
};

TEST_F(WStringsTest, UnseekableStreamIsReadToItsEnd) {
  PipeBuf buffer(std::string("o\0n\0\n\0e\0!", 9));
  std::istream in(&buffer);
  TWStringList list;
  list.LoadFromStream(in);
  EXPECT_EQ(Lines(list), (std::vector<WideString>{u"on", u"e"}));
}

TEST_F(WStringsTest, ShortWriteRaisesTheWriteError) {
  TWStringList list;
  Fill(list, {u"too long for the room"});
  FullBuf buffer(10);
  std::ostream out(&buffer);
  EXPECT_THROW(list.SaveToStream(out), rtl::EWriteError);

  std::istringstream broken("abcd");
  broken.setstate(std::ios::badbit);
  EXPECT_THROW(list.LoadFromStream(broken), rtl::EReadError);
  EXPECT_EQ(Lines(list), std::vector<WideString>{u"too long for the room"});
}

TEST_F(WStringsTest, FilesRoundTripAndOddSizes) {
  testing_support::TempDir dir;
  const std::string name = dir.Path("lines.txt");
  TWStringList list;
  Fill(list, {u"first", u"\u8868\u30BD", u""});
  list.SaveToFile(name);
  TWStringList loaded;
  loaded.LoadFromFile(name);
  EXPECT_EQ(Lines(loaded), Lines(list));

  // An existing file is truncated.
  TWStringList shorter;
  shorter.Add(u"x");
  shorter.SaveToFile(name);
  loaded.LoadFromFile(name);
  EXPECT_EQ(Lines(loaded), std::vector<WideString>{u"x"});

  // Five bytes are two code units.
  std::ofstream(name, std::ios::binary | std::ios::trunc) << std::string("h\0i\0!", 5);
  loaded.LoadFromFile(name);
  EXPECT_EQ(loaded.GetText(), u"hi\r\n");
}

TEST_F(WStringsTest, FileFailuresRaiseStreamErrorsAndKeepTheList) {
  testing_support::TempDir dir;
  TWStringList list;
  list.Add(u"kept");
  const std::string missing = dir.Path("missing.txt");
  try {
    list.LoadFromFile(missing);
    ADD_FAILURE() << "no error";
  } catch (const rtl::EFOpenError& e) {
    EXPECT_NE(e.Message().find(missing), std::string::npos) << e.Message();
  }
  EXPECT_THROW(list.LoadFromFile(dir.Dir()), rtl::EFOpenError);
  EXPECT_THROW(list.SaveToFile(dir.Path("no/dir.txt")), rtl::EFCreateError);
  EXPECT_EQ(Lines(list), std::vector<WideString>{u"kept"});
}

TEST_F(WStringsTest, CapacityGrowsByTheRule) {
  TWStringList list;
  EXPECT_EQ(list.GetCapacity(), 0);
  std::vector<int> capacities;
  for (int i = 0; i < 120; ++i) {
    list.Add(u"s");
    if (capacities.empty() || capacities.back() != list.GetCapacity()) {
      capacities.push_back(list.GetCapacity());
    }
  }
  EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147}));
  list.Clear();
  EXPECT_EQ(list.GetCapacity(), 0);

  list.SetCapacity(10);
  Fill(list, {u"a", u"b", u"c"});
  EXPECT_EQ(list.GetCapacity(), 10);
  list.SetCapacity(3);
  EXPECT_EQ(Lines(list), (std::vector<WideString>{u"a", u"b", u"c"}));
  EXPECT_EQ(ListError([&] { list.SetCapacity(2); }),
            "リストのインデックスが範囲を超えています (2)");
  EXPECT_EQ(list.GetCapacity(), 3);
}

TEST_F(WStringsTest, ListErrorsCarryTheirTextsAndChangeNothing) {
  const std::string index = "リストのインデックスが範囲を超えています ";
  const std::string sortedText = "ソートされる文字列リストに対しては許されない動作です";
  TWStringList list;
  Fill(list, {u"a", u"b"});
  int object = 0;
  struct Case {
    const char* what;
    std::function<void()> call;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"Get -1", [&] { list.Get(-1); }, index + "(-1)"},
      {"Get count", [&] { list.Get(2); }, index + "(2)"},
      {"GetObject", [&] { list.GetObject(5); }, index + "(5)"},
      {"StringAt", [&] { list.StringAt(2); }, index + "(2)"},
      {"Put", [&] { list.Put(2, u"x"); }, index + "(2)"},
      {"PutObject", [&] { list.PutObject(-3, &object); }, index + "(-3)"},
      {"Delete", [&] { list.Delete(2); }, index + "(2)"},
      {"Exchange first", [&] { list.Exchange(7, 9); }, index + "(7)"},
      {"Exchange second", [&] { list.Exchange(0, 9); }, index + "(9)"},
      {"Insert count + 1", [&] { list.Insert(3, u"x"); }, index + "(3)"},
      {"Insert -1", [&] { list.Insert(-1, u"x"); }, index + "(-1)"},
      {"Move from", [&] { list.Move(4, 0); }, index + "(4)"},
      {"Move to", [&] { list.Move(0, 2); }, index + "(2)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ListError(c.call), c.message) << c.what;
    EXPECT_EQ(Lines(list), (std::vector<WideString>{u"a", u"b"})) << c.what;
  }

  list.SetSorted(true);
  // The sorted check comes before the index check.
  EXPECT_EQ(ListError([&] { list.Insert(99, u"x"); }), sortedText);
  EXPECT_EQ(ListError([&] { list.Put(99, u"x"); }), sortedText);
  EXPECT_EQ(ListError([&] { list.Move(0, 1); }), sortedText);
  list.SetDuplicates(TDuplicates::Error);
  EXPECT_EQ(ListError([&] { list.Add(u"b"); }), "文字列リストは重複を許しません");
  EXPECT_EQ(Lines(list), (std::vector<WideString>{u"a", u"b"}));
  // What a sorted list still allows.
  list.PutObject(1, &object);
  EXPECT_EQ(list.GetObject(1), &object);
  list.Move(1, 1);
}

TEST(WStringsCodePage, ListErrorIsRaisedInTheAnsiCodePage) {
  rtl::ScopedAnsiCodePage codePage(rtl::CP_SHIFT_JIS);
  TWStringList list;
  EXPECT_EQ(ListError([&] { list.Get(0); }),
            rtl::Utf8ToAnsi("リストのインデックスが範囲を超えています (0)"));
}

TEST_F(WStringsTest, InsertAtCountAppends) {
  TWStringList list;
  list.Insert(0, u"b");
  list.Insert(1, u"c");
  list.Insert(0, u"a");
  list.Insert(3, u"d");
  EXPECT_EQ(Lines(list), (std::vector<WideString>{u"a", u"b", u"c", u"d"}));
  EXPECT_EQ(list.GetObject(3), nullptr);
}

TEST_F(WStringsTest, SortOrdersByCodeUnit) {
  TWStringList list;
  Fill(list, {u"b", u"\u00E9", u"B", u"a", u"z", u"A", u"ab", u""});
  int objects[8] = {};
  for (int i = 0; i < 8; ++i) {
    list.PutObject(i, &objects[i]);
  }
  list.Sort();
  EXPECT_EQ(Lines(list),
            (std::vector<WideString>{u"", u"A", u"B", u"a", u"ab", u"b", u"z", u"\u00E9"}));
  // Objects travel with their strings.
  EXPECT_EQ(list.GetObject(7), &objects[1]);
  EXPECT_EQ(list.GetObject(0), &objects[7]);

  // A list marked sorted is taken as sorted: Sort leaves it alone.
  list.SetSorted(true);
  list.Exchange(0, 7);
  list.Sort();
  EXPECT_EQ(list.Get(0), u"\u00E9");
}

TEST_F(WStringsTest, SortHandlesLargeAndDegenerateInput) {
  TWStringList list;
  std::vector<WideString> expected;
  for (int i = 0; i < 20000; ++i) {
    WideString s(1, static_cast<char16_t>(u'a' + (i % 3)));
    list.Add(s);
    expected.push_back(s);
  }
  for (int i = 0; i < 20000; ++i) {
    WideString s = u"k" + WideString(1, static_cast<char16_t>(0x4E00 + (20000 - i)));
    list.Add(s);
    expected.push_back(s);
  }
  list.Sort();
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Lines(list), expected);
}

TEST_F(WStringsTest, SortedAddFollowsTheDuplicatesMode) {
  TWStringList list;
  list.SetSorted(true);
  Fill(list, {u"m", u"c", u"x", u"c"});
  // Ignore: the second "c" was not added.
  EXPECT_EQ(Lines(list), (std::vector<WideString>{u"c", u"m", u"x"}));
  int object = 0;
  EXPECT_EQ(list.AddObject(u"m", &object), 1);
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.GetObject(1), nullptr) << "an ignored duplicate must not touch the entry";

  list.SetDuplicates(TDuplicates::Accept);
  list.PutObject(1, &object);
  // Inserted before the existing run of equal strings.
  EXPECT_EQ(list.Add(u"m"), 1);
  EXPECT_EQ(list.GetObject(1), nullptr);
  EXPECT_EQ(list.GetObject(2), &object);
  EXPECT_EQ(list.Add(u"m"), 1);
  EXPECT_EQ(Lines(list), (std::vector<WideString>{u"c", u"m", u"m", u"m", u"x"}));

  int index = -1;
  EXPECT_TRUE(list.Find(u"m", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(list.Find(u"n", index));
  EXPECT_EQ(index, 4);
  EXPECT_FALSE(list.Find(u"a", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(list.Find(u"\uFFFF", index));
  EXPECT_EQ(index, 5);
  EXPECT_EQ(list.IndexOf(u"x"), 4);
  EXPECT_EQ(list.IndexOf(u"X"), -1);
}

TEST_F(WStringsTest, FindWithoutAcceptStopsAtTheEqualEntryMet) {
  TWStringList list;
  list.SetSorted(true);
  list.SetDuplicates(TDuplicates::Accept);
  Fill(list, {u"a", u"b", u"b", u"b", u"b", u"c", u"d"});
  list.SetDuplicates(TDuplicates::Ignore);
  int index = -1;
  EXPECT_TRUE(list.Find(u"b", index));
  // The first probe (entry 3) is equal and ends the search there.
  EXPECT_EQ(index, 3);
}

TEST_F(WStringsTest, TurningSortedOnSortsAtOnce) {
  TWStringList list;
  Fill(list, {u"b", u"a"});
  list.SetSorted(true);
  EXPECT_EQ(Lines(list), (std::vector<WideString>{u"a", u"b"}));
  list.SetSorted(false);
  list.Insert(0, u"z");
  EXPECT_EQ(list.Get(0), u"z");
}

// The unsorted IndexOf keeps a hash index; a random mix of changes checks it
// against a plain scan.
TEST_F(WStringsTest, UnsortedIndexOfAgreesWithAScan) {
  std::mt19937 random(7);
  TWStringList list;
  std::vector<WideString> model;
  const auto word = [&] { return WideString(1, static_cast<char16_t>(u'a' + random() % 40)); };
  for (int step = 0; step < 4000; ++step) {
    const auto count = static_cast<int>(model.size());
    switch (random() % 10) {
      case 0:
        if (count > 0) {
          const int i = static_cast<int>(random() % static_cast<unsigned>(count));
          list.Delete(i);
          model.erase(model.begin() + i);
        }
        break;
      case 1: {
        const int i = static_cast<int>(random() % static_cast<unsigned>(count + 1));
        const WideString s = word();
        list.Insert(i, s);
        model.insert(model.begin() + i, s);
        break;
      }
      case 2:
        if (count > 1) {
          const int i = static_cast<int>(random() % static_cast<unsigned>(count));
          const int j = static_cast<int>(random() % static_cast<unsigned>(count));
          list.Exchange(i, j);
          std::swap(model[static_cast<std::size_t>(i)], model[static_cast<std::size_t>(j)]);
        }
        break;
      case 3:
        if (count > 0) {
          const int i = static_cast<int>(random() % static_cast<unsigned>(count));
          const WideString s = word();
          list.Put(i, s);
          model[static_cast<std::size_t>(i)] = s;
        }
        break;
      default: {
        const WideString s = word();
        list.Add(s);
        model.push_back(s);
        break;
      }
    }
    const WideString probe = word();
    const auto found = std::find(model.begin(), model.end(), probe);
    const int expected = found == model.end() ? -1 : static_cast<int>(found - model.begin());
    ASSERT_EQ(list.IndexOf(probe), expected) << "step " << step;
  }
  EXPECT_EQ(Lines(list), model);
}

TEST_F(WStringsTest, InterningManyStringsFindsEachFirstIndex) {
  TWStringList list;
  for (int i = 0; i < 50000; ++i) {
    const WideString uri = u"urn:" + rtl::AnsiToWide(std::to_string(i % 30000), rtl::CP_UTF8_);
    if (list.IndexOf(uri) < 0) {
      list.Add(uri);
    }
  }
  EXPECT_EQ(list.GetCount(), 30000);
  EXPECT_EQ(list.IndexOf(u"urn:29999"), 29999);
  EXPECT_EQ(list.IndexOf(u"urn:30000"), -1);
}

// Records the notifications and what the list held when each came.
struct Recorder {
  std::vector<std::string> events;
  void Attach(TWStringList& list) {
    list.OnChanging = [this](TWStringList& l) {
      events.push_back("changing " + std::to_string(l.GetCount()));
    };
    list.OnChange = [this](TWStringList& l) {
      events.push_back("change " + std::to_string(l.GetCount()));
    };
  }
};

TEST_F(WStringsTest, EachChangeIsAnnouncedBeforeAndAfter) {
  TWStringList list;
  Recorder recorder;
  recorder.Attach(list);
  list.Clear();
  EXPECT_TRUE(recorder.events.empty()) << "clearing an empty list changes nothing";
  list.Add(u"a");
  list.Add(u"b");
  list.Delete(0);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"changing 0", "change 1", "changing 1",
                                                       "change 2", "changing 2", "change 1"}));
  recorder.events.clear();
  list.Clear();
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"changing 1", "change 0"}));
  recorder.events.clear();
  EXPECT_THROW(list.Delete(0), rtl::EStringListError);
  EXPECT_TRUE(recorder.events.empty()) << "a refused call announces nothing";
}

TEST_F(WStringsTest, UpdateBatchesAnnounceOnce) {
  TWStringList list;
  Recorder recorder;
  recorder.Attach(list);
  list.BeginUpdate();
  list.BeginUpdate();
  for (int i = 0; i < 10; ++i) {
    list.Add(u"x");
  }
  list.EndUpdate();
  EXPECT_EQ(recorder.events, std::vector<std::string>{"changing 0"});
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"changing 0", "change 9"}));

  // Composite operations batch themselves.
  struct Composite {
    const char* what;
    std::function<void()> call;
  };
  TWStringList other;
  Fill(other, {u"p", u"q", u"r"});
  const std::vector<Composite> composites = {
      {"SetText", [&] { list.SetText(u"1\r\n2\r\n3"); }},
      {"AddStrings", [&] { list.AddStrings(other); }},
      {"Assign", [&] { list.Assign(other); }},
      {"Move", [&] { list.Move(0, 2); }},
  };
  for (const Composite& c : composites) {
    recorder.events.clear();
    c.call();
    ASSERT_EQ(recorder.events.size(), 2U) << c.what;
    EXPECT_EQ(recorder.events[0].rfind("changing", 0), 0U) << c.what;
    EXPECT_EQ(recorder.events[1].rfind("change ", 0), 0U) << c.what;
  }

  // An unmatched EndUpdate does not silence later changes.
  list.EndUpdate();
  recorder.events.clear();
  list.Add(u"y");
  EXPECT_EQ(recorder.events.size(), 2U);
}

TEST_F(WStringsTest, ExchangeAndMoveCarryObjects) {
  TWStringList list;
  int objects[4] = {};
  for (int i = 0; i < 4; ++i) {
    list.AddObject(WideString(1, static_cast<char16_t>(u'a' + i)), &objects[i]);
  }
  list.Exchange(0, 3);
  EXPECT_EQ(Lines(list), (std::vector<WideString>{u"d", u"b", u"c", u"a"}));
  EXPECT_EQ(list.GetObject(0), &objects[3]);
  EXPECT_EQ(list.GetObject(3), &objects[0]);
  list.Move(0, 2);
  EXPECT_EQ(Lines(list), (std::vector<WideString>{u"b", u"c", u"d", u"a"}));
  EXPECT_EQ(list.GetObject(2), &objects[3]);
  list.Move(3, 0);
  EXPECT_EQ(Lines(list), (std::vector<WideString>{u"a", u"b", u"c", u"d"}));
  EXPECT_EQ(list.GetObject(0), &objects[0]);
  list.Put(1, u"B");
  EXPECT_EQ(list.GetObject(1), &objects[1]);
}

// Only the primitives, so the protocol's own composite operations run.
class VectorStrings : public TWStrings {
 public:
  WideString Get(int index) const override { return lines_.at(static_cast<std::size_t>(index)); }
  int GetCount() const override { return static_cast<int>(lines_.size()); }
  void Clear() override { lines_.clear(); }
  void Delete(int index) override { lines_.erase(lines_.begin() + index); }
  void Insert(int index, WideString s) override {
    lines_.insert(lines_.begin() + index, std::move(s));
  }
  std::string_view ClassName() const override { return "VectorStrings"; }

 private:
  std::vector<WideString> lines_;
};

TEST_F(WStringsTest, TheProtocolWorksOnAnyStorage) {
  VectorStrings strings;
  strings.SetText(u"one\ntwo\nthree");
  EXPECT_EQ(strings.GetText(), u"one\r\ntwo\r\nthree\r\n");
  strings.Exchange(0, 2);
  strings.Put(1, u"TWO");
  strings.Move(0, 1);
  EXPECT_EQ(Lines(strings), (std::vector<WideString>{u"TWO", u"three", u"one"}));
  EXPECT_EQ(strings.IndexOf(u"one"), 2);
  EXPECT_EQ(strings.IndexOf(u"two"), -1);
  EXPECT_EQ(strings.GetCapacity(), 3);

  TWStringList list;
  list.Add(u"replaced");
  list.Assign(strings);
  EXPECT_EQ(Lines(list), Lines(strings));
  list.Assign(list);
  EXPECT_EQ(Lines(list), Lines(strings)) << "assigning a list to itself keeps it";
}

class Other : public rtl::TPersistent {
 public:
  std::string_view ClassName() const override { return "TOther"; }
};

TEST_F(WStringsTest, AssignFromAnotherClassIsAConversionError) {
  TWStringList list;
  list.Add(u"kept");
  const Other other;
  const auto message = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const rtl::EConvertError& e) {
      return e.Message();
    }
    return std::string("(no error)");
  };
  EXPECT_EQ(message([&] { list.Assign(other); }),
            "TOther を TWStringList に代入することはできません");
  EXPECT_EQ(message([&] { list.Assign(nullptr); }),
            "nil を TWStringList に代入することはできません");
  Other target;
  EXPECT_EQ(message([&] { target.Assign(list); }),
            "TWStringList を TOther に代入することはできません");
  EXPECT_EQ(Lines(list), std::vector<WideString>{u"kept"});
}

}  // namespace
