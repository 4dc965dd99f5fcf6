// The document object model of the HTML side: a cut-down W3C DOM Level 2 Core
// tree of documents, elements, attributes, character data and entity
// references, with child lists, attribute maps and live search lists.
//
// Ownership. A factory of TDocument returns a node as std::unique_ptr: the
// caller owns it. Inserting it (insertBefore/appendChild with the
// unique_ptr) hands it to its new parent, and setAttributeNode/setNamedItem
// hand an attribute to its element. removeChild and a replaced attribute come
// back as std::unique_ptr: the caller owns them again. A node that is already
// in a tree moves by plain pointer. Destroying a node destroys its subtree
// and its attributes, iteratively, so any depth is safe; only nodes without a
// parent are destroyed by their owner. A search list belongs to the caller of
// getElementsByTagName and should be destroyed before its document (one that
// outlives it turns empty instead of dangling). Nodes live in the memory of
// their document (see TDomArena): a free node must be destroyed before its
// document.
//
// Names and values are UTF-16; every name comparison is exact, code unit by
// code unit.
//
// This header gathers the model's parts:
//   dom_exception.h  DomException
//   dom_node.h       TNode and TNodeChain, the base of every node
//   dom_lists.h      TNodeList, TNamedNodeMap and the attribute store
//   dom_search.h     TSearchNodeList
//   dom_element.h    TElement and TAttr
//   dom_leaves.h     character data, entity references, document types
//   dom_document.h   TDocument, its namespace URIs, DomImplementation
#pragma once

#include "html/dom_document.h"
#include "html/dom_element.h"
#include "html/dom_exception.h"
#include "html/dom_leaves.h"
#include "html/dom_lists.h"
#include "html/dom_node.h"
#include "html/dom_search.h"
