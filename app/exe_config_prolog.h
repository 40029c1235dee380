#pragma once
// The check the window configuration passes before any XML parser sees it. Portable, so that it
// can be fuzzed natively.

#include <string>

// True when an XML document declares a document type before its root element. Looks at the
// bytes as UTF-8, as a single-byte code page or as UTF-16 of either byte order.
bool DeclaresDocumentType(const std::string& bytes);
