// Parses one corpus of real pages with THtmlParser, libxml2's HTML parser and
// gumbo, from the same bytes in memory, in one run, and prints the
// throughput and the peak memory of each and the ratios. Times are of the
// processor (see cpu_time.h). Our time includes decoding the bytes to
// UTF-16; every parser's time includes freeing its tree. Never fails on
// speed.
// Usage: zel_html_bench [--rounds N] PATH...   (files, or directories
// searched for *.html and *.htm)
#include <gumbo.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlmemory.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "alloc_count.h"
#include "cpu_time.h"
#include "html/dom_core.h"
#include "html/html_parser.h"
#include "html/utf8.h"

namespace {

namespace fs = std::filesystem;

struct TPage {
  std::string path;
  std::string bytes;
};

struct TCorpus {
  std::vector<TPage> pages;
};

bool IsHtmlFile(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".html" || ext == ".htm";
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::move(bytes).str();
}

// Regular files only, so a page reached by a link is not counted twice.
std::vector<std::string> FindPages(const std::vector<std::string>& roots) {
  std::vector<std::string> paths;
  for (const std::string& root : roots) {
    if (fs::is_regular_file(root)) {
      paths.push_back(root);
      continue;
    }
    if (!fs::is_directory(root)) {
      std::fprintf(stderr, "not found, skipped: %s\n", root.c_str());
      continue;
    }
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
      if (entry.is_regular_file() && !entry.is_symlink() && IsHtmlFile(entry.path())) {
        paths.push_back(entry.path().string());
      }
    }
  }
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  return paths;
}

TCorpus LoadCorpus(const std::vector<std::string>& roots) {
  TCorpus corpus;
  for (std::string& path : FindPages(roots)) {
    std::string bytes = ReadFile(path);
    corpus.pages.push_back({std::move(path), std::move(bytes)});
  }
  return corpus;
}

// --- The three parsers: each parses one page and keeps its tree until the
// next call or Release, so that peak memory can be read with the tree alive.

class TContestant {
 public:
  TContestant() = default;
  TContestant(const TContestant&) = delete;
  TContestant& operator=(const TContestant&) = delete;
  TContestant(TContestant&&) = delete;
  TContestant& operator=(TContestant&&) = delete;
  virtual ~TContestant() = default;

  virtual const char* Name() const = 0;
  virtual void Parse(std::string_view bytes) = 0;
  virtual void Release() = 0;
  // Elements in the tree held now: a check that the parse built something.
  virtual std::size_t CountElements() const = 0;
};

class TOurs : public TContestant {
 public:
  const char* Name() const override { return "THtmlParser"; }
  void Parse(std::string_view bytes) override {
    document_.reset();
    document_ = parser_.ParseString(html::Utf8ToUtf16(bytes));
  }
  void Release() override { document_.reset(); }
  // Whether the parse reads `bytes` to their end.
  bool ReadsToEnd(std::string_view bytes) {
    const std::u16string text = html::Utf8ToUtf16(bytes);
    const std::unique_ptr<html::TDocument> document = parser_.ParseString(text);
    return parser_.ReadLength() == text.size();
  }
  std::size_t CountElements() const override {
    const auto all = document_->getElementsByTagName(u"*");
    return static_cast<std::size_t>(all->length());
  }

 private:
  html::THtmlParser parser_;
  std::unique_ptr<html::TDocument> document_;
};

class TLibxml2 : public TContestant {
 public:
  TLibxml2() {
    xmlMemSetup(bench::CountedFree, bench::CountedMalloc, bench::CountedRealloc,
                bench::CountedStrdup);
    xmlInitParser();
  }
  ~TLibxml2() override {
    Release();
    xmlCleanupParser();
  }
  TLibxml2(const TLibxml2&) = delete;
  TLibxml2& operator=(const TLibxml2&) = delete;
  TLibxml2(TLibxml2&&) = delete;
  TLibxml2& operator=(TLibxml2&&) = delete;

  const char* Name() const override { return "libxml2"; }
  void Parse(std::string_view bytes) override {
    Release();
    document_ = htmlReadMemory(
        bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
        HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
  }
  void Release() override {
    if (document_ != nullptr) {
      xmlFreeDoc(document_);
      document_ = nullptr;
    }
  }
  std::size_t CountElements() const override {
    std::size_t count = 0;
    const xmlNode* node = document_ != nullptr ? document_->children : nullptr;
    while (node != nullptr) {
      count += node->type == XML_ELEMENT_NODE ? 1 : 0;
      if (node->children != nullptr && node->type == XML_ELEMENT_NODE) {
        node = node->children;
        continue;
      }
      while (node != nullptr && node->next == nullptr) {
        node = node->parent != nullptr && node->parent->type == XML_ELEMENT_NODE ? node->parent
                                                                                 : nullptr;
      }
      node = node != nullptr ? node->next : nullptr;
    }
    return count;
  }

 private:
  htmlDocPtr document_ = nullptr;
};

void* GumboAllocate(void* /*userdata*/, std::size_t size) {
  return bench::CountedMalloc(size);
}

void GumboDeallocate(void* /*userdata*/, void* block) {
  bench::CountedFree(block);
}

class TGumbo : public TContestant {
 public:
  TGumbo() : options_(kGumboDefaultOptions) {
    options_.allocator = GumboAllocate;
    options_.deallocator = GumboDeallocate;
  }
  ~TGumbo() override { Release(); }
  TGumbo(const TGumbo&) = delete;
  TGumbo& operator=(const TGumbo&) = delete;
  TGumbo(TGumbo&&) = delete;
  TGumbo& operator=(TGumbo&&) = delete;

  const char* Name() const override { return "gumbo"; }
  void Parse(std::string_view bytes) override {
    Release();
    output_ = gumbo_parse_with_options(&options_, bytes.data(), bytes.size());
  }
  void Release() override {
    if (output_ != nullptr) {
      gumbo_destroy_output(&options_, output_);
      output_ = nullptr;
    }
  }
  std::size_t CountElements() const override {
    // Explicit stack of (element, next child index): no recursion.
    std::size_t count = 0;
    std::vector<std::pair<const GumboNode*, unsigned>> stack{{output_->document, 0}};
    while (!stack.empty()) {
      auto& [node, next] = stack.back();
      const GumboVector& children =
          node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
      if (next == children.length) {
        stack.pop_back();
        continue;
      }
      const auto* child = static_cast<const GumboNode*>(children.data[next++]);
      if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE) {
        ++count;
        stack.emplace_back(child, 0);
      }
    }
    return count;
  }

 private:
  GumboOptions options_;
  GumboOutput* output_ = nullptr;
};

// --- Measuring.

// The pages of one measurement, in corpus order.
struct TPageSet {
  std::vector<const TPage*> pages;
  std::size_t totalBytes = 0;
  const TPage* largest = nullptr;

  void Add(const TPage& page) {
    pages.push_back(&page);
    totalBytes += page.bytes.size();
    if (largest == nullptr || page.bytes.size() > largest->bytes.size()) {
      largest = &page;
    }
  }
};

double SecondsForSet(TContestant& contestant, const TPageSet& set) {
  const double start = bench::CpuSeconds();
  for (const TPage* page : set.pages) {
    contestant.Parse(page->bytes);
  }
  contestant.Release();
  return bench::CpuSeconds() - start;
}

struct TMemory {
  std::size_t peak = 0;      // while parsing, the tree included
  std::size_t retained = 0;  // the tree alone, after the parse
  std::size_t elements = 0;
};

TMemory MeasurePage(TContestant& contestant, const TPage& page) {
  contestant.Release();
  const std::size_t base = bench::LiveBytes();
  bench::ResetPeak();
  contestant.Parse(page.bytes);
  TMemory memory;
  memory.retained = bench::LiveBytes() - base;
  memory.peak = bench::PeakBytes() - base;
  memory.elements = contestant.CountElements();
  contestant.Release();
  return memory;
}

constexpr double kMega = 1e6;

double Mega(std::size_t bytes) {
  return static_cast<double>(bytes) / kMega;
}

struct TResult {
  double bestSeconds = 0;
  TMemory memory;
};

// Times every contestant over `set` and prints the table and the ratios of
// the first contestant (ours) to the others.
void RunSet(const std::vector<TContestant*>& contestants, const TPageSet& set, int rounds) {
  std::printf("%zu pages, %.2f MB; largest page %.2f MB (%s)\n", set.pages.size(),
              Mega(set.totalBytes), Mega(set.largest->bytes.size()), set.largest->path.c_str());
  std::vector<TResult> results(contestants.size());
  for (std::size_t i = 0; i < contestants.size(); ++i) {
    results[i].memory = MeasurePage(*contestants[i], *set.largest);
  }
  // Rounds alternate the parsers, so a change of machine state hits all.
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t i = 0; i < contestants.size(); ++i) {
      const double seconds = SecondsForSet(*contestants[i], set);
      if (round == 0 || seconds < results[i].bestSeconds) {
        results[i].bestSeconds = seconds;
      }
    }
  }
  std::printf("%-12s %8s %8s %13s %17s %9s\n", "parser", "MB/s", "best s", "peak MB (lp)",
              "retained MB (lp)", "elem (lp)");
  for (std::size_t i = 0; i < contestants.size(); ++i) {
    const TResult& r = results[i];
    std::printf("%-12s %8.1f %8.3f %13.2f %17.2f %9zu\n", contestants[i]->Name(),
                Mega(set.totalBytes) / r.bestSeconds, r.bestSeconds, Mega(r.memory.peak),
                Mega(r.memory.retained), r.memory.elements);
  }
  for (std::size_t i = 1; i < contestants.size(); ++i) {
    std::printf(
        "%s / %s: throughput %.2fx, peak memory on the largest page %.2fx\n",
        contestants[0]->Name(), contestants[i]->Name(),
        results[i].bestSeconds / results[0].bestSeconds,
        static_cast<double>(results[0].memory.peak) / static_cast<double>(results[i].memory.peak));
  }
}

// How many pages under each root THtmlParser reads to their end, and the
// first few it does not.
void PrintReadToEnd(const std::vector<std::string>& roots, const TCorpus& corpus,
                    const std::vector<bool>& readsToEnd) {
  std::printf("pages THtmlParser reads to their end:\n");
  for (const std::string& root : roots) {
    std::size_t pages = 0;
    std::size_t read = 0;
    for (std::size_t i = 0; i < corpus.pages.size(); ++i) {
      if (corpus.pages[i].path.starts_with(root)) {
        ++pages;
        read += readsToEnd[i] ? 1U : 0U;
      }
    }
    std::printf("  %-40s %6zu of %6zu\n", root.c_str(), read, pages);
  }
  constexpr std::size_t kShown = 10;
  std::size_t shown = 0;
  for (std::size_t i = 0; i < corpus.pages.size() && shown < kShown; ++i) {
    if (!readsToEnd[i]) {
      std::printf("  not read to its end: %s\n", corpus.pages[i].path.c_str());
      ++shown;
    }
  }
}

int Usage() {
  std::fprintf(stderr, "usage: zel_html_bench [--rounds N] [--only PARSER] PATH...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 3;
  std::string only;
  std::vector<std::string> roots;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else if (arg.starts_with("-")) {
      return Usage();
    } else {
      roots.emplace_back(arg);
    }
  }
  if (roots.empty()) {
    return Usage();
  }
  const TCorpus corpus = LoadCorpus(roots);
  if (corpus.pages.empty()) {
    std::fprintf(stderr, "no pages found\n");
    return 1;
  }

  TOurs ours;
  TLibxml2 libxml2;
  TGumbo gumbo;
  std::vector<TContestant*> contestants{&ours, &libxml2, &gumbo};
  TPageSet all;
  TPageSet readToEnd;
  std::vector<bool> readsToEnd;
  for (const TPage& page : corpus.pages) {
    all.Add(page);
    readsToEnd.push_back(ours.ReadsToEnd(page.bytes));
    if (readsToEnd.back()) {
      readToEnd.Add(page);
    }
  }
  if (!only.empty()) {
    // One parser over the whole corpus, for a profiler.
    std::erase_if(contestants, [&](const TContestant* c) { return c->Name() != only; });
    if (contestants.empty()) {
      return Usage();
    }
    std::printf("== %s alone: ", only.c_str());
    RunSet(contestants, all, rounds);
    return 0;
  }
  PrintReadToEnd(roots, corpus, readsToEnd);
  std::printf("\n== the whole corpus: ");
  RunSet(contestants, all, rounds);
  if (readToEnd.pages.size() == all.pages.size()) {
    std::printf("\n(every page is read to its end: a table of those would repeat this one)\n");
  } else if (!readToEnd.pages.empty()) {
    std::printf(
        "\n== the pages THtmlParser reads to their end (on the others the document refuses a "
        "node early, which ends its parse): ");
    RunSet(contestants, readToEnd, rounds);
  }
  std::printf(
      "\n(best of %d rounds of processor time; MB = 10^6 bytes of input; lp = the largest page of "
      "the set; goals: "
      "throughput >= 2x libxml2's and >= 4x gumbo's, peak memory <= libxml2's)\n",
      rounds);
  return 0;
}
