#include "html/entities.h"

#include <algorithm>
#include <array>

namespace html {
namespace {

constexpr std::size_t kLat1Count = 96;
constexpr std::size_t kSymbolCount = 124;
constexpr std::size_t kSpecialCount = 32;

// The three entity sets of HTML 4.01, in the order of their declarations.
constexpr std::array<TEntity, kLat1Count + kSymbolCount + kSpecialCount> kStandard{{
    // HTMLlat1: U+00A0 to U+00FF, one after the other.
    {"nbsp", 160},
    {"iexcl", 161},
    {"cent", 162},
    {"pound", 163},
    {"curren", 164},
    {"yen", 165},
    {"brvbar", 166},
    {"sect", 167},
    {"uml", 168},
    {"copy", 169},
    {"ordf", 170},
    {"laquo", 171},
    {"not", 172},
    {"shy", 173},
    {"reg", 174},
    {"macr", 175},
    {"deg", 176},
    {"plusmn", 177},
    {"sup2", 178},
    {"sup3", 179},
    {"acute", 180},
    {"micro", 181},
    {"para", 182},
    {"middot", 183},
    {"cedil", 184},
    {"sup1", 185},
    {"ordm", 186},
    {"raquo", 187},
    {"frac14", 188},
    {"frac12", 189},
    {"frac34", 190},
    {"iquest", 191},
    {"Agrave", 192},
    {"Aacute", 193},
    {"Acirc", 194},
    {"Atilde", 195},
    {"Auml", 196},
    {"Aring", 197},
    {"AElig", 198},
    {"Ccedil", 199},
    {"Egrave", 200},
    {"Eacute", 201},
    {"Ecirc", 202},
    {"Euml", 203},
    {"Igrave", 204},
    {"Iacute", 205},
    {"Icirc", 206},
    {"Iuml", 207},
    {"ETH", 208},
    {"Ntilde", 209},
    {"Ograve", 210},
    {"Oacute", 211},
    {"Ocirc", 212},
    {"Otilde", 213},
    {"Ouml", 214},
    {"times", 215},
    {"Oslash", 216},
    {"Ugrave", 217},
    {"Uacute", 218},
    {"Ucirc", 219},
    {"Uuml", 220},
    {"Yacute", 221},
    {"THORN", 222},
    {"szlig", 223},
    {"agrave", 224},
    {"aacute", 225},
    {"acirc", 226},
    {"atilde", 227},
    {"auml", 228},
    {"aring", 229},
    {"aelig", 230},
    {"ccedil", 231},
    {"egrave", 232},
    {"eacute", 233},
    {"ecirc", 234},
    {"euml", 235},
    {"igrave", 236},
    {"iacute", 237},
    {"icirc", 238},
    {"iuml", 239},
    {"eth", 240},
    {"ntilde", 241},
    {"ograve", 242},
    {"oacute", 243},
    {"ocirc", 244},
    {"otilde", 245},
    {"ouml", 246},
    {"divide", 247},
    {"oslash", 248},
    {"ugrave", 249},
    {"uacute", 250},
    {"ucirc", 251},
    {"uuml", 252},
    {"yacute", 253},
    {"thorn", 254},
    {"yuml", 255},

    // HTMLsymbol: Latin Extended-B, Greek, general punctuation, letterlike
    // symbols, arrows, mathematical operators, miscellaneous technical,
    // geometric shapes, miscellaneous symbols.
    {"fnof", 402},
    {"Alpha", 913},
    {"Beta", 914},
    {"Gamma", 915},
    {"Delta", 916},
    {"Epsilon", 917},
    {"Zeta", 918},
    {"Eta", 919},
    {"Theta", 920},
    {"Iota", 921},
    {"Kappa", 922},
    {"Lambda", 923},
    {"Mu", 924},
    {"Nu", 925},
    {"Xi", 926},
    {"Omicron", 927},
    {"Pi", 928},
    {"Rho", 929},
    {"Sigma", 931},
    {"Tau", 932},
    {"Upsilon", 933},
    {"Phi", 934},
    {"Chi", 935},
    {"Psi", 936},
    {"Omega", 937},
    {"alpha", 945},
    {"beta", 946},
    {"gamma", 947},
    {"delta", 948},
    {"epsilon", 949},
    {"zeta", 950},
    {"eta", 951},
    {"theta", 952},
    {"iota", 953},
    {"kappa", 954},
    {"lambda", 955},
    {"mu", 956},
    {"nu", 957},
    {"xi", 958},
    {"omicron", 959},
    {"pi", 960},
    {"rho", 961},
    {"sigmaf", 962},
    {"sigma", 963},
    {"tau", 964},
    {"upsilon", 965},
    {"phi", 966},
    {"chi", 967},
    {"psi", 968},
    {"omega", 969},
    {"thetasym", 977},
    {"upsih", 978},
    {"piv", 982},
    {"bull", 8226},
    {"hellip", 8230},
    {"prime", 8242},
    {"Prime", 8243},
    {"oline", 8254},
    {"frasl", 8260},
    {"weierp", 8472},
    {"image", 8465},
    {"real", 8476},
    {"trade", 8482},
    {"alefsym", 8501},
    {"larr", 8592},
    {"uarr", 8593},
    {"rarr", 8594},
    {"darr", 8595},
    {"harr", 8596},
    {"crarr", 8629},
    {"lArr", 8656},
    {"uArr", 8657},
    {"rArr", 8658},
    {"dArr", 8659},
    {"hArr", 8660},
    {"forall", 8704},
    {"part", 8706},
    {"exist", 8707},
    {"empty", 8709},
    {"nabla", 8711},
    {"isin", 8712},
    {"notin", 8713},
    {"ni", 8715},
    {"prod", 8719},
    {"sum", 8721},
    {"minus", 8722},
    {"lowast", 8727},
    {"radic", 8730},
    {"prop", 8733},
    {"infin", 8734},
    {"ang", 8736},
    {"and", 8743},
    {"or", 8744},
    {"cap", 8745},
    {"cup", 8746},
    {"int", 8747},
    {"there4", 8756},
    {"sim", 8764},
    {"cong", 8773},
    {"asymp", 8776},
    {"ne", 8800},
    {"equiv", 8801},
    {"le", 8804},
    {"ge", 8805},
    {"sub", 8834},
    {"sup", 8835},
    {"nsub", 8836},
    {"sube", 8838},
    {"supe", 8839},
    {"oplus", 8853},
    {"otimes", 8855},
    {"perp", 8869},
    {"sdot", 8901},
    {"lceil", 8968},
    {"rceil", 8969},
    {"lfloor", 8970},
    {"rfloor", 8971},
    {"lang", 9001},
    {"rang", 9002},
    {"loz", 9674},
    {"spades", 9824},
    {"clubs", 9827},
    {"hearts", 9829},
    {"diams", 9830},

    // HTMLspecial: C0 controls and Basic Latin, Latin Extended-A, spacing
    // modifier letters, general punctuation.
    {"quot", 34},
    {"amp", 38},
    {"lt", 60},
    {"gt", 62},
    {"OElig", 338},
    {"oelig", 339},
    {"Scaron", 352},
    {"scaron", 353},
    {"Yuml", 376},
    {"circ", 710},
    {"tilde", 732},
    {"ensp", 8194},
    {"emsp", 8195},
    {"thinsp", 8201},
    {"zwnj", 8204},
    {"zwj", 8205},
    {"lrm", 8206},
    {"rlm", 8207},
    {"ndash", 8211},
    {"mdash", 8212},
    {"lsquo", 8216},
    {"rsquo", 8217},
    {"sbquo", 8218},
    {"ldquo", 8220},
    {"rdquo", 8221},
    {"bdquo", 8222},
    {"dagger", 8224},
    {"Dagger", 8225},
    {"permil", 8240},
    {"lsaquo", 8249},
    {"rsaquo", 8250},
    {"euro", 8364},
}};

static_assert(kStandard.size() == EntityCount);

constexpr std::uint16_t CodeOf(std::string_view name) {
  for (const TEntity& entity : kStandard) {
    if (entity.Name == name) {
      return entity.Code;
    }
  }
  return UnknownEntityValue;
}

constexpr bool Lat1IsContiguous() {
  for (std::size_t i = 0; i < kLat1Count; ++i) {
    if (kStandard[i].Code != 160 + i) {
      return false;
    }
  }
  return true;
}

// Each set covers its own code ranges; a record slipped into the wrong set
// or mistyped into another block shows here.
constexpr bool SetsInTheirRanges() {
  for (std::size_t i = kLat1Count; i < kLat1Count + kSymbolCount; ++i) {
    if (kStandard[i].Code < 402 || kStandard[i].Code > 9830) {
      return false;
    }
  }
  for (std::size_t i = kLat1Count + kSymbolCount; i < kStandard.size(); ++i) {
    if (kStandard[i].Code < 34 || kStandard[i].Code > 8364) {
      return false;
    }
  }
  return true;
}

static_assert(Lat1IsContiguous());
static_assert(SetsInTheirRanges());
static_assert(CodeOf("nbsp") == 160 && CodeOf("quot") == 34 && CodeOf("amp") == 38 &&
              CodeOf("lt") == 60 && CodeOf("gt") == 62 && CodeOf("Auml") == 196 &&
              CodeOf("auml") == 228 && CodeOf("euro") == 8364);
static_assert(CodeOf("fnof") == 402 && CodeOf("Sigma") == 931 && CodeOf("sigmaf") == 962 &&
              CodeOf("thetasym") == 977 && CodeOf("upsih") == 978 && CodeOf("piv") == 982 &&
              CodeOf("image") == 8465 && CodeOf("weierp") == 8472 && CodeOf("crarr") == 8629 &&
              CodeOf("lceil") == 8968 && CodeOf("lang") == 9001 && CodeOf("loz") == 9674 &&
              CodeOf("diams") == 9830);
static_assert(CodeOf("OElig") == 338 && CodeOf("Yuml") == 376 && CodeOf("ensp") == 8194 &&
              CodeOf("zwnj") == 8204 && CodeOf("lrm") == 8206 && CodeOf("sbquo") == 8218 &&
              CodeOf("permil") == 8240 && CodeOf("lsaquo") == 8249);

constexpr std::array<TEntity, EntityCount> SortedByName() {
  std::array<TEntity, EntityCount> sorted = kStandard;
  std::sort(sorted.begin(), sorted.end(),
            [](const TEntity& a, const TEntity& b) { return a.Name < b.Name; });
  return sorted;
}

constexpr std::array<TEntity, EntityCount> kSorted = SortedByName();

// Strict order also proves the names unique.
static_assert(TEntList::IsValidTable(kSorted));

}  // namespace

constinit const TEntList EntityList{kSorted};

std::uint16_t TEntList::GetEntityValue(std::string_view name) const noexcept {
  if (name.size() > maxNameLength_) {
    return UnknownEntityValue;
  }
  const std::size_t bucket = BucketOf(name);
  if (bucket == kBuckets) {
    return UnknownEntityValue;
  }
  // Binary search within the bucket of the name's first letter.
  std::size_t low = bucketStart_[bucket];
  std::size_t high = bucketStart_[bucket + 1];
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    const int order = name.compare(entities_[middle].Name);
    if (order == 0) {
      return entities_[middle].Code;
    }
    if (order < 0) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return UnknownEntityValue;
}

std::uint16_t TEntList::GetEntityValue(std::u16string_view name) const noexcept {
  if (name.size() > maxNameLength_ || name.size() > kMaxNameLength) {
    return UnknownEntityValue;
  }
  std::array<char, kMaxNameLength> narrow{};
  for (std::size_t i = 0; i < name.size(); ++i) {
    // No entity name holds anything but ASCII letters and digits.
    if (name[i] > 0x7F) {
      return UnknownEntityValue;
    }
    narrow[i] = static_cast<char>(name[i]);
  }
  return GetEntityValue(std::string_view(narrow.data(), name.size()));
}

std::uint16_t GetEntityValue(std::string_view name) noexcept {
  return EntityList.GetEntityValue(name);
}

std::uint16_t GetEntityValue(std::u16string_view name) noexcept {
  return EntityList.GetEntityValue(name);
}

std::span<const TEntity> EntitiesInStandardOrder() noexcept {
  return kStandard;
}

}  // namespace html
