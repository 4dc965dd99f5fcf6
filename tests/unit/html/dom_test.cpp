#include "html/dom_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "html/dom_arena.h"
#include "rtl/exceptions.h"

namespace {

using html::DomException;
using html::DomImplementation;
using html::TAttr;
using html::TDocument;
using html::TDocumentType;
using html::TElement;
using html::TNode;
using html::TNodeList;

// The DomException code a call raises; 0 when it raises nothing.
int CodeOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const DomException& e) {
    return e.code();
  }
  return 0;
}

std::unique_ptr<TDocument> NewDocument() {
  return DomImplementation::createEmptyDocument();
}

// The node names of a list, joined by spaces.
std::u16string Names(const TNodeList& list) {
  std::u16string names;
  for (int i = 0; i < list.length(); ++i) {
    if (i > 0) {
      names += u' ';
    }
    names += list.item(i)->nodeName();
  }
  return names;
}

// The node names of the children of a node, read through the sibling links
// in both directions; both must agree with the child list.
std::u16string ChildNames(const TNode& node) {
  std::u16string forward;
  for (const TNode* child = node.firstChild(); child != nullptr; child = child->nextSibling()) {
    forward += (forward.empty() ? u"" : u" ") + child->nodeName();
  }
  std::u16string backward;
  for (const TNode* child = node.lastChild(); child != nullptr; child = child->previousSibling()) {
    backward.insert(0, child->nodeName() + (backward.empty() ? u"" : u" "));
  }
  EXPECT_EQ(forward, backward);
  EXPECT_EQ(forward, Names(*node.childNodes()));
  return forward;
}

std::unique_ptr<TAttr> MakeAttr(TDocument& doc, std::u16string_view name,
                                std::u16string_view value) {
  auto attr = doc.createAttribute(name);
  attr->appendChild(doc.createTextNode(value));
  return attr;
}

TEST(DomException, EveryCodeCarriesItsStandardText) {
  const std::vector<std::pair<int, std::string>> table = {
      {1, "Index or size is negative, or greater than the allowed value"},
      {2, "The specified range of text does not fit into a DOMString"},
      {3, "Node is inserted somewhere it doesn't belong "},
      {4, "Node is used in a different document than the one that created it"},
      {5, "Invalid or illegal character is specified, such as in a name"},
      {6, "Data is specified for a node which does not support data"},
      {7, "An attempt is made to modify an object where modifications are not allowed"},
      {8, "An attempt is made to reference a node in a context where it does not exist"},
      {9, "Implementation does not support the requested type of object or operation"},
      {10, "An attempt is made to add an attribute that is already in use elsewhere"},
      {11, "An attempt is made to use an object that is not, or is no longer, usable"},
      {12, "An invalid or illegal string is specified"},
      {13, "An attempt is made to modify the type of the underlying object"},
      {14,
       "An attempt is made to create or change an object in a way which is incorrect with regard "
       "to namespaces"},
      {15, "A parameter or an operation is not supported by the underlying object"},
  };
  for (const auto& [code, text] : table) {
    const DomException e(code);
    EXPECT_EQ(e.code(), code);
    EXPECT_EQ(e.Message(), text) << code;
    const rtl::Exception& base = e;
    EXPECT_EQ(base.ClassName(), "DomException");
  }
  EXPECT_EQ(DomException::MessageOf(0), "");
  EXPECT_EQ(DomException::MessageOf(16), "");
}

TEST(DomNodes, NamesTypesAndValuesByClass) {
  auto doc = NewDocument();
  struct Row {
    std::unique_ptr<TNode> node;
    int type;
    std::u16string name, value, prefix, localName;
  };
  Row rows[] = {
      {doc->createElementNS(u"urn:x", u"p:q"), 1, u"p:q", u"", u"p", u"q"},
      {doc->createElement(u"p:q"), 1, u"p:q", u"", u"", u"p:q"},
      {doc->createElementNS(u"urn:x", u":q"), 1, u"q", u"", u"", u"q"},
      {doc->createElementNS(u"", u"a:b:c"), 1, u"a:b:c", u"", u"a", u"b:c"},
      {doc->createAttribute(u"x:href"), 2, u"x:href", u"", u"", u"x:href"},
      {doc->createTextNode(u"t"), 3, u"#text", u"t", u"", u""},
      {doc->createCDATASection(u"c"), 4, u"#cdata-section", u"c", u"", u""},
      {doc->createEntityReference(u"Auml"), 5, u"Auml", u"", u"", u"Auml"},
      {doc->createComment(u"m"), 8, u"#comment", u"m", u"", u""},
      {DomImplementation::createDocumentType(u"html", u"-//p", u"s"), 10, u"html", u"", u"",
       u"html"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name.begin(), row.name.end()));
    EXPECT_EQ(row.node->nodeType(), row.type);
    EXPECT_EQ(row.node->nodeName(), row.name);
    EXPECT_EQ(row.node->nodeValue(), row.value);
    EXPECT_EQ(row.node->prefix(), row.prefix);
    EXPECT_EQ(row.node->localName(), row.localName);
    EXPECT_EQ(row.node->parentNode(), nullptr);
    EXPECT_EQ(row.node->childNodes()->length(), 0);
    EXPECT_EQ(row.node->attributes() != nullptr, row.type == 1);
  }
  EXPECT_EQ(doc->nodeType(), 9);
  EXPECT_EQ(doc->nodeName(), u"#document");
  EXPECT_EQ(doc->ownerDocument(), doc.get());
  EXPECT_EQ(rows[0].node->ownerDocument(), doc.get());
  EXPECT_EQ(rows[9].node->ownerDocument(), nullptr);
  auto* type = static_cast<TDocumentType*>(rows[9].node.get());
  EXPECT_EQ(type->publicId(), u"-//p");
  EXPECT_EQ(type->systemId(), u"s");
}

TEST(DomNodes, NamespaceURIsAreInternedPerDocument) {
  auto doc = NewDocument();
  auto a = doc->createElementNS(u"urn:a", u"x:one");
  auto b = doc->createElementNS(u"urn:b", u"two");
  auto a2 = doc->createElementNS(u"urn:a", u"y:three");
  auto plain = doc->createElement(u"four");
  EXPECT_EQ(a->namespaceURI(), u"urn:a");
  EXPECT_EQ(a2->namespaceURI(), u"urn:a");
  EXPECT_EQ(b->namespaceURI(), u"urn:b");
  EXPECT_EQ(plain->namespaceURI(), u"");
  const auto& uris = doc->namespaceURIs();
  EXPECT_EQ(uris.Count(), 3);
  EXPECT_EQ(uris.Get(0), u"");
  EXPECT_EQ(uris.IndexOf(u"urn:a"), 1);
  EXPECT_EQ(uris.IndexOf(u"urn:b"), 2);
  EXPECT_EQ(uris.IndexOf(u"urn:c"), -1);
  EXPECT_EQ(uris.Get(7), u"");
  // Another document keeps its own list.
  auto other = NewDocument();
  auto c = other->createElementNS(u"urn:b", u"c");
  EXPECT_EQ(other->namespaceURIs().IndexOf(u"urn:b"), 1);
  EXPECT_EQ(c->namespaceURI(), u"urn:b");
}

TEST(DomInsertion, WhichParentAcceptsWhichChild) {
  auto doc = NewDocument();
  using Factory = std::function<std::unique_ptr<TNode>()>;
  const std::vector<std::pair<std::string, Factory>> children = {
      {"element", [&] { return doc->createElement(u"e"); }},
      {"attribute", [&] { return doc->createAttribute(u"a"); }},
      {"text", [&] { return doc->createTextNode(u"t"); }},
      {"cdata", [&] { return doc->createCDATASection(u"c"); }},
      {"entity reference", [&] { return doc->createEntityReference(u"amp"); }},
      {"comment", [&] { return doc->createComment(u"m"); }},
  };
  struct Parent {
    std::string name;
    Factory make;
    std::string accepts;  // one letter per child kind above: y or n
  };
  const std::vector<Parent> parents = {
      {"element", [&] { return doc->createElement(u"p"); }, "ynyyyy"},
      {"attribute", [&] { return doc->createAttribute(u"p"); }, "nnynyn"},
      {"text", [&] { return doc->createTextNode(u"p"); }, "nnnnnn"},
      {"cdata", [&] { return doc->createCDATASection(u"p"); }, "nnnnnn"},
      {"entity reference", [&] { return doc->createEntityReference(u"p"); }, "nnnnnn"},
      {"comment", [&] { return doc->createComment(u"p"); }, "nnnnnn"},
  };
  for (const Parent& parent : parents) {
    for (std::size_t i = 0; i < children.size(); ++i) {
      SCOPED_TRACE(parent.name + " <- " + children[i].first);
      auto node = parent.make();
      auto child = children[i].second();
      TNode* const raw = child.get();
      const int code = CodeOf([&] { node->appendChild(std::move(child)); });
      if (parent.accepts[i] == 'y') {
        EXPECT_EQ(code, 0);
        EXPECT_EQ(raw->parentNode(), node.get());
        EXPECT_EQ(child, nullptr);
      } else {
        EXPECT_EQ(code, DomException::HIERARCHY_REQUEST_ERR);
        // A refused node stays with the caller.
        EXPECT_EQ(child.get(), raw);
        EXPECT_EQ(node->firstChild(), nullptr);
      }
    }
  }
  // A document or a document type goes nowhere.
  auto element = doc->createElement(u"e");
  EXPECT_EQ(CodeOf([&] { element->appendChild(doc.get()); }), DomException::HIERARCHY_REQUEST_ERR);
  auto typed = DomImplementation::createEmptyDocument(
      DomImplementation::createDocumentType(u"html", u"", u""));
  auto typedElement = typed->createElement(u"e");
  EXPECT_EQ(CodeOf([&] { typedElement->appendChild(typed->doctype()); }),
            DomException::HIERARCHY_REQUEST_ERR);
  EXPECT_EQ(CodeOf([&] { typed->doctype()->appendChild(typed->createTextNode(u"t")); }),
            DomException::HIERARCHY_REQUEST_ERR);
}

TEST(DomInsertion, DocumentTakesTextCommentsAndOneElement) {
  auto doc = NewDocument();
  EXPECT_EQ(doc->documentElement(), nullptr);
  doc->appendChild(doc->createTextNode(u"\n"));
  doc->appendChild(doc->createComment(u"c"));
  TElement* html = doc->appendChild(doc->createElement(u"html"));
  EXPECT_EQ(doc->documentElement(), html);
  const std::vector<std::pair<std::string, std::function<std::unique_ptr<TNode>()>>> refused = {
      {"second element", [&] { return doc->createElement(u"body"); }},
      {"cdata", [&] { return doc->createCDATASection(u"x"); }},
      {"entity reference", [&] { return doc->createEntityReference(u"nbsp"); }},
      {"attribute", [&] { return doc->createAttribute(u"id"); }},
  };
  for (const auto& row : refused) {
    SCOPED_TRACE(row.first);
    EXPECT_EQ(CodeOf([&] { doc->appendChild(row.second()); }), DomException::HIERARCHY_REQUEST_ERR);
  }
  doc->appendChild(doc->createTextNode(u"after"));
  EXPECT_EQ(ChildNames(*doc), u"#text #comment html #text");
  // Without its element the document takes a new one.
  auto removed = doc->removeChild(html);
  EXPECT_EQ(doc->documentElement(), nullptr);
  TElement* replacement = doc->appendChild(doc->createElement(u"head"));
  EXPECT_EQ(doc->documentElement(), replacement);
}

TEST(DomInsertion, ANodeCannotGoIntoItselfOrBelowItself) {
  auto doc = NewDocument();
  TElement* a = doc->appendChild(doc->createElement(u"a"));
  TElement* b = a->appendChild(doc->createElement(u"b"));
  TElement* c = b->appendChild(doc->createElement(u"c"));
  for (TNode* target : {static_cast<TNode*>(a), static_cast<TNode*>(b), static_cast<TNode*>(c)}) {
    try {
      target->appendChild(a);
      ADD_FAILURE() << "no exception";
    } catch (const DomException& e) {
      EXPECT_EQ(e.code(), DomException::HIERARCHY_REQUEST_ERR);
      EXPECT_EQ(e.Message(), "Node is inserted somewhere it doesn't belong ");
    }
  }
  EXPECT_EQ(CodeOf([&] { c->appendChild(b); }), DomException::HIERARCHY_REQUEST_ERR);
  EXPECT_EQ(CodeOf([&] { b->insertBefore(b, c); }), DomException::HIERARCHY_REQUEST_ERR);
  EXPECT_EQ(ChildNames(*a), u"b");
  EXPECT_EQ(ChildNames(*b), u"c");
  // A childless node may go anywhere, even beside its own ancestors.
  EXPECT_EQ(CodeOf([&] { c->appendChild(doc->createElement(u"d")); }), 0);
  EXPECT_EQ(CodeOf([&] { a->appendChild(c); }), 0);
  EXPECT_EQ(ChildNames(*a), u"b c");
}

TEST(DomInsertion, NodesOfAnotherDocumentAreRefused) {
  auto doc = NewDocument();
  auto other = NewDocument();
  TElement* root = doc->appendChild(doc->createElement(u"root"));
  TElement* child = root->appendChild(doc->createElement(u"child"));
  auto foreign = other->createElement(u"foreign");
  EXPECT_EQ(CodeOf([&] { root->appendChild(std::move(foreign)); }),
            DomException::WRONG_DOCUMENT_ERR);
  EXPECT_NE(foreign, nullptr);
  EXPECT_EQ(CodeOf([&] { root->insertBefore(std::move(foreign), child); }),
            DomException::WRONG_DOCUMENT_ERR);
  EXPECT_EQ(CodeOf([&] { other->appendChild(root); }), DomException::WRONG_DOCUMENT_ERR);
  auto foreignAttr = MakeAttr(*other, u"id", u"x");
  EXPECT_EQ(CodeOf([&] { root->setAttributeNode(std::move(foreignAttr)); }),
            DomException::WRONG_DOCUMENT_ERR);
  EXPECT_EQ(CodeOf([&] { root->attributes()->setNamedItem(std::move(foreignAttr)); }),
            DomException::WRONG_DOCUMENT_ERR);
  EXPECT_NE(foreignAttr, nullptr);
  EXPECT_EQ(ChildNames(*root), u"child");
  EXPECT_EQ(root->attributes()->length(), 0);
}

TEST(DomInsertion, ReferenceNodesAndRemoval) {
  auto doc = NewDocument();
  TElement* root = doc->appendChild(doc->createElement(u"root"));
  TElement* a = root->appendChild(doc->createElement(u"a"));
  TElement* b = root->appendChild(doc->createElement(u"b"));
  TElement* c = root->appendChild(doc->createElement(u"c"));
  TElement* nested = a->appendChild(doc->createElement(u"nested"));
  auto loose = doc->createElement(u"loose");

  // A reference that is not a child: nothing changes.
  EXPECT_EQ(CodeOf([&] { root->insertBefore(doc->createElement(u"x"), nested); }),
            DomException::NOT_FOUND_ERR);
  EXPECT_EQ(CodeOf([&] { root->insertBefore(c, loose.get()); }), DomException::NOT_FOUND_ERR);
  EXPECT_EQ(ChildNames(*root), u"a b c");
  EXPECT_EQ(CodeOf([&] { root->removeChild(nested); }), DomException::NOT_FOUND_ERR);
  EXPECT_EQ(CodeOf([&] { root->removeChild(loose.get()); }), DomException::NOT_FOUND_ERR);
  EXPECT_EQ(CodeOf([&] { root->removeChild(nullptr); }), DomException::NOT_FOUND_ERR);
  EXPECT_EQ(CodeOf([&] { root->appendChild(nullptr); }), DomException::NOT_FOUND_ERR);

  // insertBefore(n, n) is a no-op returning n.
  EXPECT_EQ(root->insertBefore(b, b), b);
  EXPECT_EQ(ChildNames(*root), u"a b c");
  // The last child moved before the first is listed once, first.
  EXPECT_EQ(root->insertBefore(c, a), c);
  EXPECT_EQ(ChildNames(*root), u"c a b");
  // Appending an existing child moves it to the end.
  root->appendChild(c);
  EXPECT_EQ(ChildNames(*root), u"a b c");
  // Moving between parents takes the node out of the old one.
  root->insertBefore(nested, b);
  EXPECT_EQ(ChildNames(*root), u"a nested b c");
  EXPECT_EQ(ChildNames(*a), u"");
  EXPECT_EQ(nested->parentNode(), root);
  root->insertBefore(std::move(loose), nullptr);
  EXPECT_EQ(ChildNames(*root), u"a nested b c loose");

  std::unique_ptr<TNode> taken = root->removeChild(b);
  EXPECT_EQ(taken.get(), b);
  EXPECT_EQ(b->parentNode(), nullptr);
  EXPECT_EQ(b->nextSibling(), nullptr);
  EXPECT_EQ(b->previousSibling(), nullptr);
  EXPECT_EQ(ChildNames(*root), u"a nested c loose");
  // The caller may put it back through its ownership.
  a->appendChild(std::move(taken));
  EXPECT_EQ(ChildNames(*a), u"b");
}

TEST(DomInsertion, AFreeNodeIsHandedOverByOwnershipOnly) {
  auto doc = NewDocument();
  TElement* root = doc->appendChild(doc->createElement(u"root"));
  auto loose = doc->createElement(u"loose");
  EXPECT_THROW(root->appendChild(loose.get()), rtl::EAssertionFailed);
  EXPECT_EQ(root->firstChild(), nullptr);
  auto attr = MakeAttr(*doc, u"id", u"x");
  EXPECT_THROW(root->setAttributeNode(attr.get()), rtl::EAssertionFailed);
  EXPECT_THROW(root->attributes()->setNamedItem(attr.get()), rtl::EAssertionFailed);
  EXPECT_EQ(root->attributes()->length(), 0);
}

TEST(DomChildList, IndexedReadsFollowEveryChange) {
  auto doc = NewDocument();
  TElement* root = doc->appendChild(doc->createElement(u"root"));
  std::vector<TNode*> expected;
  expected.reserve(50);
  for (int i = 0; i < 50; ++i) {
    expected.push_back(root->appendChild(
        doc->createTextNode(std::u16string(1, static_cast<char16_t>(u'a' + i % 26)))));
  }
  TNodeList* list = root->childNodes();
  EXPECT_EQ(list, root->childNodes());
  auto check = [&] {
    ASSERT_EQ(list->length(), static_cast<int>(expected.size()));
    for (int i = 0; i < list->length(); ++i) {
      EXPECT_EQ(list->item(i), expected[static_cast<std::size_t>(i)]) << i;
    }
    for (int i = list->length() - 1; i >= 0; --i) {
      EXPECT_EQ(list->item(i), expected[static_cast<std::size_t>(i)]) << i;
    }
    EXPECT_EQ(list->item(-1), nullptr);
    EXPECT_EQ(list->item(list->length()), nullptr);
  };
  check();
  EXPECT_EQ(list->item(30), expected[30]);
  root->removeChild(expected[29]);
  expected.erase(expected.begin() + 29);
  check();
  EXPECT_EQ(list->item(10), expected[10]);
  root->insertBefore(expected[40], expected[10]);
  expected.insert(expected.begin() + 10, expected[40]);
  expected.erase(expected.begin() + 41);
  check();
  EXPECT_EQ(root->firstChild(), expected.front());
  EXPECT_EQ(root->lastChild(), expected.back());
}

TEST(DomNodeValue, OnlyDataAndAttributesTakeAValue) {
  auto doc = DomImplementation::createEmptyDocument(
      DomImplementation::createDocumentType(u"html", u"", u""));
  auto element = doc->createElement(u"e");
  auto reference = doc->createEntityReference(u"amp");
  for (TNode* node : {static_cast<TNode*>(element.get()), static_cast<TNode*>(reference.get()),
                      static_cast<TNode*>(doc->doctype()), static_cast<TNode*>(doc.get())}) {
    EXPECT_EQ(CodeOf([&] { node->setNodeValue(u"v"); }), DomException::NO_MODIFICATION_ALLOWED_ERR)
        << static_cast<int>(node->nodeType());
  }
  auto text = doc->createTextNode(u"old");
  auto comment = doc->createComment(u"old");
  auto cdata = doc->createCDATASection(u"old");
  for (TNode* node : {static_cast<TNode*>(text.get()), static_cast<TNode*>(comment.get()),
                      static_cast<TNode*>(cdata.get())}) {
    node->setNodeValue(u"new");
    EXPECT_EQ(node->nodeValue(), u"new");
  }
}

TEST(DomAttributes, ValueJoinsTextAndEntityCharacters) {
  auto doc = NewDocument();
  struct Row {
    std::vector<std::u16string> parts;  // "&name" is an entity reference
    std::u16string value;
  };
  const std::vector<Row> table = {
      {{u"a", u"&amp", u"b"}, u"a&b"},
      {{u"&nbsp"}, u"\u00a0"},
      {{u"&euro", u"&Auml", u"&auml"}, u"\u20ac\u00c4\u00e4"},
      {{u"x", u"&nosuch", u"y"}, u"x y"},
      {{u"&AMP"}, u" "},
      {{u"&\u00e4"}, u" "},
      {{}, u""},
      {{u"one", u"two"}, u"onetwo"},
  };
  for (const Row& row : table) {
    auto attr = doc->createAttribute(u"href");
    for (const std::u16string& part : row.parts) {
      if (!part.empty() && part[0] == u'&') {
        attr->appendChild(doc->createEntityReference(part.substr(1)));
      } else {
        attr->appendChild(doc->createTextNode(part));
      }
    }
    EXPECT_EQ(attr->nodeValue(), row.value);
  }
}

TEST(DomAttributes, SettingTheValueReplacesTheChildren) {
  auto doc = NewDocument();
  auto attr = doc->createAttribute(u"title");
  attr->appendChild(doc->createTextNode(u"a"));
  attr->appendChild(doc->createEntityReference(u"amp"));
  attr->setNodeValue(u"plain & simple");
  EXPECT_EQ(attr->childNodes()->length(), 1);
  EXPECT_EQ(attr->firstChild()->nodeType(), TNode::TEXT_NODE);
  EXPECT_EQ(attr->firstChild()->parentNode(), attr.get());
  EXPECT_EQ(attr->nodeValue(), u"plain & simple");
}

TEST(DomAttributes, MapAddsReplacesAndFindsByExactName) {
  auto doc = NewDocument();
  TElement* a = doc->appendChild(doc->createElement(u"a"));
  EXPECT_EQ(a->setAttributeNode(MakeAttr(*doc, u"HREF", u"upper")), nullptr);
  EXPECT_EQ(a->setAttributeNode(MakeAttr(*doc, u"id", u"first")), nullptr);
  EXPECT_EQ(a->setAttributeNode(MakeAttr(*doc, u"class", u"c")), nullptr);
  html::TNamedNodeMap* map = a->attributes();
  EXPECT_EQ(map->getNamedItem(u"href"), nullptr);
  ASSERT_NE(map->getNamedItem(u"HREF"), nullptr);
  EXPECT_EQ(map->getNamedItem(u"HREF")->nodeValue(), u"upper");
  EXPECT_EQ(Names(*map), u"HREF id class");
  EXPECT_EQ(map->ownerNode(), a);

  TAttr* first = static_cast<TAttr*>(map->getNamedItem(u"id"));
  EXPECT_EQ(first->ownerElement(), a);
  EXPECT_EQ(first->parentNode(), nullptr);
  EXPECT_EQ(first->nextSibling(), nullptr);
  auto second = MakeAttr(*doc, u"id", u"second");
  TAttr* secondRaw = second.get();
  std::unique_ptr<TAttr> replaced = a->setAttributeNode(std::move(second));
  EXPECT_EQ(replaced.get(), first);
  EXPECT_EQ(replaced->ownerElement(), nullptr);
  EXPECT_EQ(secondRaw->ownerElement(), a);
  EXPECT_EQ(map->getNamedItem(u"id")->nodeValue(), u"second");
  // The replacement goes to the end, in the order of addition.
  EXPECT_EQ(Names(*map), u"HREF class id");

  // An attribute that belongs to an element is refused.
  TElement* b = a->appendChild(doc->createElement(u"b"));
  EXPECT_EQ(CodeOf([&] { b->setAttributeNode(secondRaw); }), DomException::INUSE_ATTRIBUTE_ERR);
  EXPECT_EQ(CodeOf([&] { a->setAttributeNode(secondRaw); }), DomException::INUSE_ATTRIBUTE_ERR);
  EXPECT_EQ(CodeOf([&] { b->attributes()->setNamedItem(secondRaw); }),
            DomException::INUSE_ATTRIBUTE_ERR);
  EXPECT_EQ(b->attributes()->length(), 0);
  // Setting an attribute in the map it is in changes nothing.
  EXPECT_EQ(map->setNamedItem(secondRaw), nullptr);
  EXPECT_EQ(Names(*map), u"HREF class id");
  // The replaced attribute is free again and may go to another element.
  EXPECT_EQ(b->attributes()->setNamedItem(std::move(replaced)), nullptr);
  EXPECT_EQ(first->ownerElement(), b);
  // Only attributes are kept in a map.
  EXPECT_EQ(CodeOf([&] { map->setNamedItem(doc->createTextNode(u"t")); }),
            DomException::HIERARCHY_REQUEST_ERR);
  EXPECT_EQ(map->item(-1), nullptr);
  EXPECT_EQ(map->item(3), nullptr);
}

TEST(DomAttributes, ManyAttributesOnOneElementStayFast) {
  auto doc = NewDocument();
  TElement* e = doc->appendChild(doc->createElement(u"e"));
  constexpr int kCount = 100000;
  auto name = [](int i) {
    const std::string digits = std::to_string(i);
    return u"a" + std::u16string(digits.begin(), digits.end());
  };
  const auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < kCount; ++i) {
    e->setAttributeNode(MakeAttr(*doc, name(i), u"v"));
  }
  // Replace every attribute in reverse order; each goes to the end.
  for (int i = kCount - 1; i >= 0; --i) {
    auto old = e->setAttributeNode(MakeAttr(*doc, name(i), u"w"));
    ASSERT_NE(old, nullptr);
    ASSERT_EQ(old->nodeName(), name(i));
  }
  html::TNamedNodeMap* map = e->attributes();
  ASSERT_EQ(map->length(), kCount);
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(map->item(i)->nodeName(), name(kCount - 1 - i));
    ASSERT_EQ(map->getNamedItem(name(i))->nodeValue(), u"w");
  }
  EXPECT_EQ(map->getNamedItem(u"a100000"), nullptr);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // Linear work; a quadratic search would need minutes here.
  EXPECT_LT(seconds, 20.0);
  auto copy = e->cloneNode(false);
  EXPECT_EQ(copy->attributes()->length(), kCount);
  EXPECT_EQ(copy->attributes()->getNamedItem(u"a77")->nodeValue(), u"w");
}

TEST(DomSearch, LiveListsSeeEveryChangeLazily) {
  auto doc = NewDocument();
  TElement* html = doc->appendChild(doc->createElement(u"html"));
  TElement* body = html->appendChild(doc->createElement(u"body"));
  TElement* a1 = body->appendChild(doc->createElement(u"a"));
  TElement* p = body->appendChild(doc->createElement(u"p"));
  TElement* a2 = p->appendChild(doc->createElement(u"a"));
  TElement* a3 = body->appendChild(doc->createElement(u"a"));
  a1->appendChild(doc->createTextNode(u"x"));

  auto anchors = doc->getElementsByTagName(u"a");
  EXPECT_TRUE(anchors->synchronized());
  ASSERT_EQ(anchors->length(), 3);
  EXPECT_EQ(anchors->item(0), a1);
  EXPECT_EQ(anchors->item(1), a2);
  EXPECT_EQ(anchors->item(2), a3);
  EXPECT_EQ(anchors->item(-1), nullptr);
  EXPECT_EQ(anchors->item(3), nullptr);
  EXPECT_EQ(anchors->ownerNode(), doc.get());

  // Add anywhere: the list becomes unsynchronized and finds it when read.
  TElement* a4 = a2->appendChild(doc->createElement(u"a"));
  EXPECT_FALSE(anchors->synchronized());
  EXPECT_EQ(anchors->length(), 4);
  EXPECT_TRUE(anchors->synchronized());
  EXPECT_EQ(anchors->item(2), a4);
  // Remove: the subtree leaves with its anchors.
  auto removed = body->removeChild(p);
  EXPECT_EQ(anchors->item(1), a3);
  EXPECT_EQ(anchors->length(), 2);
  // Rename by replacing an element with one of another name.
  TElement* span = body->insertBefore(doc->createElement(u"span"), a3);
  body->removeChild(a3);
  EXPECT_EQ(Names(*anchors), u"a");
  // Move: document order follows.
  TElement* moved = span->appendChild(doc->createElement(u"a"));
  body->insertBefore(a1, nullptr);
  EXPECT_EQ(anchors->item(0), moved);
  EXPECT_EQ(anchors->item(1), a1);
  // Changes in a free subtree of the same document count too.
  auto spanList = span->getElementsByTagName(u"a");
  EXPECT_EQ(spanList->length(), 1);
  removed->appendChild(doc->createElement(u"a"));
  EXPECT_FALSE(spanList->synchronized());
  EXPECT_EQ(spanList->length(), 1);
}

TEST(DomSearch, MatchesLocalNamesBelowTheNodeOnly) {
  auto doc = NewDocument();
  TElement* root = doc->appendChild(doc->createElement(u"a"));
  TElement* prefixed = root->appendChild(doc->createElementNS(u"urn:x", u"p:a"));
  root->appendChild(doc->createElement(u"p:a"));
  root->appendChild(doc->createComment(u"a"));
  TElement* inner = prefixed->appendChild(doc->createElement(u"a"));
  auto attr = doc->createAttribute(u"a");
  root->setAttributeNode(std::move(attr));

  auto fromRoot = root->getElementsByTagName(u"a");
  // The node itself is never listed; the local name is matched.
  EXPECT_EQ(fromRoot->length(), 2);
  EXPECT_EQ(fromRoot->item(0), prefixed);
  EXPECT_EQ(fromRoot->item(1), inner);
  EXPECT_EQ(doc->getElementsByTagName(u"a")->length(), 3);
  EXPECT_EQ(doc->getElementsByTagName(u"p:a")->length(), 1);
  EXPECT_EQ(Names(*doc->getElementsByTagName(u"*")), u"a p:a a p:a");
  EXPECT_EQ(doc->getElementsByTagName(u"A")->length(), 0);
  EXPECT_EQ(inner->getElementsByTagName(u"*")->length(), 0);
}

TEST(DomSearch, ListsOutlivingTheirOwnersTurnEmpty) {
  auto doc = NewDocument();
  TElement* root = doc->appendChild(doc->createElement(u"root"));
  TElement* owner = root->appendChild(doc->createElement(u"owner"));
  owner->appendChild(doc->createElement(u"x"));
  auto ownedBelow = owner->getElementsByTagName(u"x");
  auto second = owner->getElementsByTagName(u"*");
  auto fromRoot = root->getElementsByTagName(u"x");
  EXPECT_EQ(ownedBelow->length(), 1);
  second.reset();
  // The owner is taken out and freed while its list lives.
  root->removeChild(owner).reset();
  EXPECT_EQ(ownedBelow->length(), 0);
  EXPECT_EQ(ownedBelow->item(0), nullptr);
  EXPECT_EQ(ownedBelow->ownerNode(), nullptr);
  EXPECT_EQ(fromRoot->length(), 0);
  root->appendChild(doc->createElement(u"x"));
  EXPECT_EQ(fromRoot->length(), 1);
  // The document dies first.
  doc.reset();
  EXPECT_EQ(fromRoot->length(), 0);
  EXPECT_EQ(fromRoot->item(0), nullptr);
}

TEST(DomCopies, CloneNodeShallowAndDeep) {
  auto doc = NewDocument();
  TElement* root = doc->appendChild(doc->createElement(u"root"));
  TElement* div = root->appendChild(doc->createElementNS(u"urn:x", u"x:div"));
  div->setAttributeNode(MakeAttr(*doc, u"id", u"main"));
  auto href = doc->createAttribute(u"href");
  href->appendChild(doc->createTextNode(u"a"));
  href->appendChild(doc->createEntityReference(u"amp"));
  href->appendChild(doc->createTextNode(u"b"));
  div->setAttributeNode(std::move(href));
  TElement* span = div->appendChild(doc->createElement(u"span"));
  span->appendChild(doc->createTextNode(u"text"));
  div->appendChild(doc->createComment(u"note"));
  div->appendChild(doc->createCDATASection(u"raw"));
  div->appendChild(doc->createEntityReference(u"nbsp"));

  auto shallow = div->cloneNode(false);
  EXPECT_EQ(shallow->nodeName(), u"x:div");
  EXPECT_EQ(shallow->prefix(), u"x");
  EXPECT_EQ(shallow->localName(), u"div");
  EXPECT_EQ(shallow->namespaceURI(), u"urn:x");
  EXPECT_EQ(shallow->ownerDocument(), doc.get());
  EXPECT_EQ(shallow->parentNode(), nullptr);
  EXPECT_EQ(shallow->firstChild(), nullptr);
  EXPECT_EQ(Names(*shallow->attributes()), u"id href");

  auto deep = div->cloneNode(true);
  EXPECT_EQ(ChildNames(*deep), u"span #comment #cdata-section nbsp");
  EXPECT_EQ(ChildNames(*deep->firstChild()), u"#text");
  EXPECT_EQ(deep->firstChild()->firstChild()->nodeValue(), u"text");
  EXPECT_EQ(deep->childNodes()->item(2)->nodeValue(), u"raw");
  EXPECT_EQ(deep->childNodes()->item(2)->nodeType(), TNode::CDATA_SECTION_NODE);
  TNode* copiedHref = deep->attributes()->getNamedItem(u"href");
  ASSERT_NE(copiedHref, nullptr);
  EXPECT_EQ(copiedHref->nodeValue(), u"a&b");
  EXPECT_EQ(static_cast<TAttr*>(copiedHref)->ownerElement(), deep.get());
  EXPECT_NE(copiedHref, div->attributes()->getNamedItem(u"href"));
  // The copy is independent of the original.
  deep->firstChild()->firstChild()->setNodeValue(u"changed");
  copiedHref->setNodeValue(u"changed");
  EXPECT_EQ(span->firstChild()->nodeValue(), u"text");
  EXPECT_EQ(div->attributes()->getNamedItem(u"href")->nodeValue(), u"a&b");
  root->appendChild(std::move(deep));
  EXPECT_EQ(ChildNames(*root), u"x:div x:div");

  // An attribute always copies its children; the copy has no element.
  TNode* id = div->attributes()->getNamedItem(u"id");
  auto idCopy = id->cloneNode(false);
  EXPECT_EQ(idCopy->nodeValue(), u"main");
  EXPECT_EQ(static_cast<TAttr*>(idCopy.get())->ownerElement(), nullptr);
  auto text = span->firstChild()->cloneNode(false);
  EXPECT_EQ(text->nodeValue(), u"text");
  EXPECT_EQ(text->parentNode(), nullptr);
}

TEST(DomCopies, ImportNodeCopiesIntoAnotherDocument) {
  auto source = NewDocument();
  TElement* root = source->appendChild(source->createElementNS(u"urn:s", u"s:root"));
  root->setAttributeNode(MakeAttr(*source, u"lang", u"ja"));
  root->appendChild(source->createTextNode(u"hello"));
  root->appendChild(source->createElement(u"b"))->appendChild(source->createTextNode(u"bold"));

  auto target = NewDocument();
  target->createElementNS(u"urn:t", u"t");  // gives urn:t index 1 there
  auto imported = root->importNode(target.get(), true);
  EXPECT_EQ(imported->ownerDocument(), target.get());
  EXPECT_EQ(imported->namespaceURI(), u"urn:s");
  EXPECT_EQ(target->namespaceURIs().IndexOf(u"urn:s"), 2);
  EXPECT_EQ(ChildNames(*imported), u"#text b");
  EXPECT_EQ(imported->childNodes()->item(1)->firstChild()->ownerDocument(), target.get());
  EXPECT_EQ(imported->attributes()->getNamedItem(u"lang")->ownerDocument(), target.get());
  EXPECT_EQ(imported->attributes()->getNamedItem(u"lang")->nodeValue(), u"ja");
  // The import belongs to its new document and goes into its tree.
  target->appendChild(std::move(imported));
  EXPECT_EQ(target->documentElement()->nodeName(), u"s:root");
  EXPECT_EQ(ChildNames(*root), u"#text b");

  auto shallow = root->importNode(target.get(), false);
  EXPECT_EQ(shallow->firstChild(), nullptr);
  auto attr = root->attributes()->getNamedItem(u"lang")->importNode(target.get(), false);
  EXPECT_EQ(attr->nodeValue(), u"ja");
  EXPECT_EQ(source->createComment(u"c")->importNode(target.get(), false)->ownerDocument(),
            target.get());
  EXPECT_EQ(CodeOf([&] { source->importNode(target.get(), true); }),
            DomException::NOT_SUPPORTED_ERR);
  auto typed = DomImplementation::createEmptyDocument(
      DomImplementation::createDocumentType(u"html", u"", u""));
  EXPECT_EQ(CodeOf([&] { typed->doctype()->importNode(target.get(), true); }),
            DomException::NOT_SUPPORTED_ERR);
  EXPECT_EQ(CodeOf([&] { root->importNode(nullptr, true); }), DomException::NOT_SUPPORTED_ERR);
}

TEST(DomCopies, CloningADocumentCopiesTypeAndTree) {
  auto original = DomImplementation::createEmptyDocument(
      DomImplementation::createDocumentType(u"html", u"-//W3C//DTD HTML 4.01//EN", u"sys"));
  original->appendChild(original->createComment(u"top"));
  TElement* html = original->appendChild(original->createElementNS(u"urn:h", u"html"));
  TElement* body = html->appendChild(original->createElement(u"body"));
  body->setAttributeNode(MakeAttr(*original, u"class", u"c"));
  body->appendChild(original->createTextNode(u"text"));

  auto shallowNode = original->cloneNode(false);
  auto* shallow = static_cast<TDocument*>(shallowNode.get());
  EXPECT_EQ(shallow->nodeType(), TNode::DOCUMENT_NODE);
  EXPECT_EQ(shallow->firstChild(), nullptr);
  ASSERT_NE(shallow->doctype(), nullptr);
  EXPECT_NE(shallow->doctype(), original->doctype());
  EXPECT_EQ(shallow->doctype()->ownerDocument(), shallow);
  EXPECT_EQ(shallow->doctype()->nodeName(), u"html");
  EXPECT_EQ(shallow->doctype()->publicId(), u"-//W3C//DTD HTML 4.01//EN");
  EXPECT_EQ(shallow->doctype()->systemId(), u"sys");

  auto deepNode = original->cloneNode(true);
  auto* deep = static_cast<TDocument*>(deepNode.get());
  EXPECT_EQ(deep->ownerDocument(), deep);
  EXPECT_EQ(ChildNames(*deep), u"#comment html");
  ASSERT_NE(deep->documentElement(), nullptr);
  EXPECT_NE(deep->documentElement(), html);
  EXPECT_EQ(deep->documentElement()->ownerDocument(), deep);
  EXPECT_EQ(deep->documentElement()->namespaceURI(), u"urn:h");
  EXPECT_EQ(deep->namespaceURIs().IndexOf(u"urn:h"), original->namespaceURIs().IndexOf(u"urn:h"));
  auto bodies = deep->getElementsByTagName(u"body");
  ASSERT_EQ(bodies->length(), 1);
  EXPECT_EQ(bodies->item(0)->attributes()->getNamedItem(u"class")->nodeValue(), u"c");
  EXPECT_EQ(bodies->item(0)->firstChild()->nodeValue(), u"text");
  // The copy follows the document's rules and lives on alone.
  EXPECT_EQ(CodeOf([&] { deep->appendChild(deep->createElement(u"second")); }),
            DomException::HIERARCHY_REQUEST_ERR);
  original.reset();
  EXPECT_EQ(bodies->item(0)->firstChild()->nodeValue(), u"text");
  bodies.reset();
  // A document without a type or children copies to an empty one.
  auto empty = NewDocument()->cloneNode(true);
  EXPECT_EQ(static_cast<TDocument*>(empty.get())->doctype(), nullptr);
  EXPECT_EQ(empty->firstChild(), nullptr);
}

TEST(DomDocument, TypesBelongToOneDocument) {
  auto doc = DomImplementation::createEmptyDocument(
      DomImplementation::createDocumentType(u"html", u"p", u"s"));
  EXPECT_EQ(doc->doctype()->ownerDocument(), doc.get());
  EXPECT_EQ(doc->firstChild(), nullptr);
  // A copy of the type keeps the document of its original, so another
  // document refuses it; the caller keeps it.
  std::unique_ptr<TDocumentType> copy(
      static_cast<TDocumentType*>(doc->doctype()->cloneNode(false).release()));
  EXPECT_EQ(copy->ownerDocument(), doc.get());
  EXPECT_EQ(copy->publicId(), u"p");
  EXPECT_EQ(CodeOf([&] { DomImplementation::createEmptyDocument(std::move(copy)); }),
            DomException::WRONG_DOCUMENT_ERR);
  ASSERT_NE(copy, nullptr);
  auto other = NewDocument();
  EXPECT_EQ(CodeOf([&] { other->setDoctype(std::move(copy)); }), DomException::WRONG_DOCUMENT_ERR);
  EXPECT_EQ(other->doctype(), nullptr);
  // Its own document takes it in place of the old type.
  doc->setDoctype(std::move(copy));
  EXPECT_EQ(doc->doctype()->publicId(), u"p");
  // A type from createDocumentType is free and goes anywhere.
  other->setDoctype(DomImplementation::createDocumentType(u"svg", u"", u""));
  EXPECT_EQ(other->doctype()->nodeName(), u"svg");
  other->setDoctype(nullptr);
  EXPECT_EQ(other->doctype(), nullptr);

  auto full = DomImplementation::createDocument(u"urn:x", u"x:root", nullptr);
  ASSERT_NE(full->documentElement(), nullptr);
  EXPECT_EQ(full->documentElement()->localName(), u"root");
  EXPECT_EQ(full->documentElement()->namespaceURI(), u"urn:x");
  EXPECT_EQ(full->childNodes()->length(), 1);
}

// One million levels: every walk over the tree must be iterative.
TEST(DomDeepTrees, AMillionLevelsAreBuiltSearchedCopiedAndFreed) {
  constexpr int kDepth = 1000000;
  auto doc = NewDocument();
  TNode* node = doc->appendChild(doc->createElement(u"root"));
  TNode* middle = nullptr;
  for (int i = 0; i < kDepth; ++i) {
    node = node->appendChild(doc->createElement(i % 2 == 0 ? u"div" : u"span"));
    if (i == kDepth / 2) {
      middle = node;
    }
  }
  node->appendChild(doc->createTextNode(u"leaf"));
  TNode* deepest = node;

  auto all = doc->getElementsByTagName(u"*");
  EXPECT_EQ(all->length(), kDepth + 1);
  auto divs = doc->getElementsByTagName(u"div");
  EXPECT_EQ(divs->length(), kDepth / 2);
  EXPECT_EQ(all->item(kDepth), deepest);
  // Ancestors are still found at that depth.
  EXPECT_EQ(CodeOf([&] { deepest->appendChild(middle); }), DomException::HIERARCHY_REQUEST_ERR);

  auto clone = doc->documentElement()->cloneNode(true);
  auto other = NewDocument();
  auto imported = doc->documentElement()->importNode(other.get(), true);
  TNode* importedRoot = other->appendChild(std::move(imported));
  EXPECT_EQ(other->getElementsByTagName(u"span")->length(), kDepth / 2);
  std::size_t levels = 0;
  const TNode* walk = clone.get();
  while (walk->firstChild() != nullptr) {
    walk = walk->firstChild();
    ++levels;
  }
  EXPECT_EQ(levels, static_cast<std::size_t>(kDepth + 1));
  EXPECT_EQ(walk->nodeValue(), u"leaf");
  auto docCopy = doc->cloneNode(true);
  EXPECT_EQ(static_cast<TDocument*>(docCopy.get())->getElementsByTagName(u"*")->length(),
            kDepth + 1);

  // Free a subtree taken out of the middle, the copies and the documents.
  auto lower = middle->parentNode()->removeChild(middle);
  EXPECT_EQ(all->length(), kDepth / 2 + 1);
  lower.reset();
  clone.reset();
  divs.reset();
  all.reset();
  EXPECT_EQ(importedRoot->ownerDocument(), other.get());
  docCopy.reset();
  other.reset();
  doc.reset();
}

TEST(DomDeepTrees, LongSiblingChainsAreFreedIteratively) {
  auto doc = NewDocument();
  TElement* root = doc->appendChild(doc->createElement(u"root"));
  constexpr int kCount = 500000;
  for (int i = 0; i < kCount; ++i) {
    root->appendChild(doc->createTextNode(u"t"));
  }
  EXPECT_EQ(root->childNodes()->length(), kCount);
  EXPECT_EQ(root->childNodes()->item(kCount - 1), root->lastChild());
  auto copy = root->cloneNode(true);
  EXPECT_EQ(copy->childNodes()->length(), kCount);
  copy.reset();
  doc.reset();
}

// --- Memory: the arena of a document and the strings of its nodes ---

using html::TDomArena;

TEST(DomArena, FreedBlocksAreReusedBySize) {
  TDomArena arena;
  void* const a = arena.Allocate(40);
  void* const b = arena.Allocate(40);
  void* const c = arena.Allocate(100);
  EXPECT_NE(a, b);
  EXPECT_NE(a, c);
  // Sizes are rounded: 33 to 40 share a free list.
  arena.Deallocate(a, 40);
  EXPECT_EQ(arena.Allocate(33), a);
  arena.Deallocate(b, 40);
  EXPECT_NE(arena.Allocate(48), b);
  EXPECT_EQ(arena.Allocate(40), b);
  arena.Deallocate(c, 100);
  arena.Deallocate(a, 40);
  EXPECT_EQ(arena.Allocate(100), c);
}

TEST(DomArena, BlocksAreAlignedDistinctAndWritable) {
  TDomArena arena;
  std::vector<std::pair<unsigned char*, std::size_t>> blocks;
  for (std::size_t i = 0; i < 3000; ++i) {
    const std::size_t size = 1 + (i * 37) % TDomArena::kLargeBlock;
    auto* const block = static_cast<unsigned char*>(arena.Allocate(size));
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(void*), 0u);
    std::fill(block, block + size, static_cast<unsigned char>(i));
    blocks.emplace_back(block, size);
  }
  // No block overlaps another: each still holds its own fill.
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const auto [block, size] = blocks[i];
    EXPECT_EQ(std::count(block, block + size, static_cast<unsigned char>(i)),
              static_cast<std::ptrdiff_t>(size));
  }
}

TEST(DomArena, ChunksGrowWithUseAndLargeBlocksStayOutside) {
  TDomArena arena;
  EXPECT_EQ(arena.ChunkBytes(), 0u);
  void* const large = arena.Allocate(TDomArena::kLargeBlock + 1);
  EXPECT_EQ(arena.ChunkBytes(), 0u);
  arena.Deallocate(large, TDomArena::kLargeBlock + 1);
  constexpr std::size_t kBlocks = 100000;
  constexpr std::size_t kSize = 64;
  for (std::size_t i = 0; i < kBlocks; ++i) {
    arena.Allocate(kSize);
  }
  const std::size_t used = kBlocks * kSize;
  EXPECT_GE(arena.ChunkBytes(), used);
  EXPECT_LE(arena.ChunkBytes(), used + used / 16 + TDomArena::kMaxChunk);
}

TEST(DomAttributeIndex, CollidingRunsAcrossTheTableEndSurviveErasure) {
  auto doc = NewDocument();
  constexpr std::size_t kNames = 30;  // stays below half of the first table
  std::vector<std::unique_ptr<TAttr>> attrs;
  for (std::size_t i = 0; i < kNames; ++i) {
    const std::string digits = std::to_string(i);
    attrs.push_back(doc->createAttribute(u"n" + std::u16string(digits.begin(), digits.end())));
  }
  // Homes crowd the last slots and wrap to the first; equal homes come with
  // different hashes.
  const auto hash = [](std::size_t i) { return 58 + i % 8 + 64 * (i % 3); };
  html::TAttributeIndex index;
  std::vector<bool> present(kNames, false);
  std::mt19937 random(7);
  for (int step = 0; step < 3000; ++step) {
    const std::size_t i = random() % kNames;
    if (present[i]) {
      index.Erase(attrs[i].get(), hash(i));
    } else {
      index.Insert(attrs[i].get(), hash(i));
    }
    present[i] = !present[i];
    for (std::size_t j = 0; j < kNames; ++j) {
      ASSERT_EQ(index.Find(attrs[j]->nodeName(), hash(j)), present[j] ? attrs[j].get() : nullptr)
          << "step " << step << ", name " << j;
    }
  }
  // A name with the hash of another is not that other.
  if (!present[0]) {
    index.Insert(attrs[0].get(), hash(0));
  }
  EXPECT_EQ(index.Find(u"other", hash(0)), nullptr);
  EXPECT_EQ(index.Find(u"n0", hash(0)), attrs[0].get());
}

TEST(DomMemory, NodesThatComeAndGoReuseTheirMemory) {
  auto doc = NewDocument();
  TElement* root = doc->appendChild(doc->createElement(u"root"));
  root->appendChild(doc->createElement(u"first"));
  auto attr = doc->createAttribute(u"title");
  const std::u16string longValue(100, u'v');
  const auto churn = [&] {
    for (int i = 0; i < 1000; ++i) {
      attr->setNodeValue(i % 2 == 0 ? longValue : u"short");
      root->appendChild(doc->createElement(u"child"));
      root->removeChild(root->firstChild()).reset();
    }
  };
  churn();
  const std::size_t held = doc->ArenaBytes();
  EXPECT_GT(held, 0u);
  for (int round = 0; round < 20; ++round) {
    churn();
  }
  EXPECT_EQ(doc->ArenaBytes(), held);
  EXPECT_EQ(attr->nodeValue(), u"short");
  EXPECT_EQ(ChildNames(*root), u"child");
}

TEST(DomMemory, TextsOfEveryLengthSurviveChangesAndCopies) {
  auto doc = NewDocument();
  TElement* root = doc->appendChild(doc->createElement(u"root"));
  auto* text = root->appendChild(doc->createTextNode(u""));
  // Short texts stand in the node, longer ones in a block: both ways, and
  // from the node's own text.
  for (const std::size_t length :
       std::vector<std::size_t>{0, 1, 4, 5, 8, 9, 300, 3000, 4, 0, 2000}) {
    std::u16string value;
    for (std::size_t i = 0; i < length; ++i) {
      value += static_cast<char16_t>(u'a' + i % 26);
    }
    text->setNodeValue(value);
    EXPECT_EQ(text->data(), value);
    text->setNodeValue(text->data());
    EXPECT_EQ(text->data(), value);
    const std::u16string_view tail = text->data().substr(std::min<std::size_t>(length, 1));
    const std::u16string expectedTail(tail);
    text->setNodeValue(tail);
    EXPECT_EQ(text->nodeValue(), expectedTail);
    auto copy = text->cloneNode(false);
    EXPECT_EQ(copy->nodeValue(), expectedTail);
  }
  // Names too: a long element name, its prefix and local name.
  const std::u16string name = u"prefix-of-some-length:" + std::u16string(50, u'n');
  auto element = doc->createElementNS(u"urn:x", name);
  EXPECT_EQ(element->nodeName(), name);
  EXPECT_EQ(element->prefix(), u"prefix-of-some-length");
  EXPECT_EQ(element->localName(), std::u16string(50, u'n'));
  EXPECT_EQ(element->cloneNode(false)->nodeName(), name);
}

TEST(DomMemory, NodesOfOneDocumentGoIntoAnotherOnlyAsCopies) {
  auto source = NewDocument();
  TElement* root = source->appendChild(source->createElement(u"root"));
  root->setAttributeNode(MakeAttr(*source, u"lang", u"a long attribute value"));
  root->appendChild(source->createTextNode(u"some text longer than a few characters"));
  auto target = NewDocument();
  auto copy = root->importNode(target.get(), true);
  // The original goes with its document; the copy lives on in the other.
  source.reset();
  EXPECT_EQ(copy->ownerDocument(), target.get());
  EXPECT_EQ(copy->firstChild()->nodeValue(), u"some text longer than a few characters");
  EXPECT_EQ(copy->attributes()->getNamedItem(u"lang")->nodeValue(), u"a long attribute value");
  target->appendChild(std::move(copy));
  EXPECT_EQ(target->documentElement()->nodeName(), u"root");
}

}  // namespace
