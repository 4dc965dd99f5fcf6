// Pathological pages through THtmlParser at two sizes, the larger ten times
// the smaller, with the ratio of their times: a ratio near ten means time in
// proportion to the input (the goal is at most about twelve). The peak heap
// per input byte shows that memory stays in proportion too.
//
// Each time covers decoding the bytes, the parse and freeing the tree, in
// processor time (see cpu_time.h), and is the best of five runs after one
// run at the larger size. malloc is told to keep the memory it got, so that
// neither size pays for first touching fresh pages, which only the larger
// would otherwise do on every run; that first, cold run at the larger size
// is printed too. Never fails on speed.
// Usage: zel_html_patho_bench [--scale F]   (F multiplies every size; 1 is
// the full size)
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "alloc_count.h"
#include "cpu_time.h"
#include "html/dom_core.h"
#include "html/html_parser.h"
#include "html/utf8.h"

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20U;

std::string Repeat(std::string_view piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) {
    out += piece;
  }
  return out;
}

// `count` distinct attributes on one start tag.
std::string ManyAttributes(std::size_t count) {
  std::string page = "<p";
  for (std::size_t i = 0; i < count; ++i) {
    page += " a" + std::to_string(i) + "=\"v\"";
  }
  return page + ">x</p>";
}

std::string UnclosedTags(std::string_view tag, std::size_t count) {
  return Repeat(tag, count) + "x";
}

// `count` end tags that match no open element, below an open chain a tenth
// as deep; the names vary between a known tag, a block tag and an unknown
// one.
std::string StrayEndTags(std::size_t count) {
  return Repeat("<span>", count / 10) + Repeat("</b></p></x-y>", count / 3);
}

// Filler of `bytes` bytes with no markup in it.
std::string Text(std::size_t bytes) {
  std::string text = Repeat("lorem ipsum dolor sit amet ", bytes / 27 + 1);
  text.resize(bytes);
  return text;
}

std::string LongText(std::size_t bytes) {
  return "<p>" + Text(bytes) + "</p>";
}

std::string LongAttributeValue(std::size_t bytes) {
  return "<p title=\"" + Text(bytes) + "\">x</p>";
}

// A comment opening that never closes, over text full of further comment
// openings: each of them fails again, which a naive search pays for from
// each opening to the end of the page.
std::string UnterminatedComment(std::size_t bytes) {
  std::string text = Repeat("<!-- lorem -- ipsum - dolor ", bytes / 28 + 1);
  text.resize(bytes);
  return "<!--" + text;
}

// Script content holding end tags of other names and broken end tags of its
// own: the search for its end passes each only once.
std::string ScriptOfFalseEnds(std::size_t bytes) {
  std::string text = Repeat("</scrip a<b </p></scripts ", bytes / 26 + 1);
  text.resize(bytes);
  return "<script>" + text;
}

// An html and a body start tag after the end of the document, again and
// again: each is ignored and leads back into the body.
std::string IgnoredHtmlAndBody(std::size_t count) {
  return "<html><body>" + Repeat("</body></html><html lang=x><body class=y>t", count / 2);
}

struct TCase {
  const char* name;
  // The page at the given size: a count of tags or a number of bytes.
  std::function<std::string(std::size_t)> make;
  std::size_t fullSize;
  const char* unit;
};

struct TRun {
  std::size_t inputBytes = 0;
  double seconds = 0;
  std::size_t peakBytes = 0;
};

// Seconds to decode, parse and free the page.
double ParseOnce(std::string_view bytes) {
  const double start = bench::CpuSeconds();
  {
    html::THtmlParser parser;
    std::unique_ptr<html::TDocument> document = parser.ParseString(html::Utf8ToUtf16(bytes));
    if (!document) {
      std::fprintf(stderr, "no document\n");
    }
  }
  return bench::CpuSeconds() - start;
}

constexpr int kRuns = 5;

TRun Measure(const std::string& page) {
  TRun run;
  run.inputBytes = page.size();
  for (int attempt = 0; attempt < kRuns; ++attempt) {
    const std::size_t base = bench::LiveBytes();
    bench::ResetPeak();
    const double seconds = ParseOnce(page);
    run.peakBytes = bench::PeakBytes() - base;
    if (attempt == 0 || seconds < run.seconds) {
      run.seconds = seconds;
    }
  }
  return run;
}

double Mega(std::size_t bytes) {
  return static_cast<double>(bytes) / 1e6;
}

double PerByte(const TRun& run) {
  return static_cast<double>(run.peakBytes) / static_cast<double>(run.inputBytes);
}

}  // namespace

int main(int argc, char** argv) {
  double scale = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--scale" && i + 1 < argc) {
      scale = std::max(0.001, std::atof(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: zel_html_patho_bench [--scale F]\n");
      return 2;
    }
  }
  const std::vector<TCase> cases{
      {"attributes on one tag", ManyAttributes, 100'000, "attrs"},
      {"unclosed <b>", [](std::size_t n) { return UnclosedTags("<b>", n); }, 1'000'000, "tags"},
      {"unclosed <div>", [](std::size_t n) { return UnclosedTags("<div>", n); }, 1'000'000, "tags"},
      {"stray end tags, deep", StrayEndTags, 1'000'000, "end tags"},
      {"text", LongText, 64 * kMiB, "bytes"},
      {"one attribute value", LongAttributeValue, 64 * kMiB, "bytes"},
      {"unterminated comment", UnterminatedComment, 64 * kMiB, "bytes"},
      {"unclosed <script>", [](std::size_t n) { return UnclosedTags("<script>", n); }, 1'000'000,
       "tags"},
      {"script of false ends", ScriptOfFalseEnds, 64 * kMiB, "bytes"},
      {"<? without >", [](std::size_t n) { return UnclosedTags("<?xml ", n); }, 1'000'000, "tags"},
      {"html, body ignored", IgnoredHtmlAndBody, 1'000'000, "tags"},
  };
  // Freed memory stays with malloc and is handed out again (see above).
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
  std::printf("%-22s %-18s %8s %8s %8s %8s %7s %9s %11s\n", "page", "size (x10)", "MB", "x10 MB",
              "seconds", "x10 s", "ratio", "cold x10", "heap/byte");
  for (const TCase& c : cases) {
    const auto large = static_cast<std::size_t>(static_cast<double>(c.fullSize) * scale);
    const std::string smallPage = c.make(large / 10);
    const std::string largePage = c.make(large);
    const double cold = ParseOnce(largePage);
    const TRun small = Measure(smallPage);
    const TRun big = Measure(largePage);
    const std::string size = std::to_string(large / 10) + " " + c.unit;
    std::printf("%-22s %-18s %8.2f %8.2f %8.4f %8.4f %7.1f %9.4f %5.1f %5.1f\n", c.name,
                size.c_str(), Mega(small.inputBytes), Mega(big.inputBytes), small.seconds,
                big.seconds, big.seconds / small.seconds, cold, PerByte(small), PerByte(big));
  }
  std::printf(
      "(ratio: best time at ten times the size over best time at the size, goal <= 12; cold x10:"
      " the first run at ten times the size; heap/byte: peak heap per input byte at both sizes;"
      " MB = 10^6 bytes)\n");
  return 0;
}
