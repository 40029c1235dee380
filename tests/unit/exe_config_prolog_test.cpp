#include <gtest/gtest.h>

#include "app/exe_config_prolog.h"

using namespace std::string_literals;

TEST(DocumentTypeScan, LooksOnlyAtTheProlog) {
    EXPECT_TRUE(DeclaresDocumentType("<!DOCTYPE a><a/>"));
    EXPECT_TRUE(DeclaresDocumentType("\xEF\xBB\xBF<?xml version='1.0'?>\r\n  <!DOCTYPE a><a/>"));
    EXPECT_FALSE(DeclaresDocumentType("<?xml version='1.0'?><!-- <!DOCTYPE a> --><a/>"));
    EXPECT_FALSE(DeclaresDocumentType("<a><![CDATA[<!DOCTYPE a>]]></a>"));
    EXPECT_FALSE(DeclaresDocumentType(""));
    EXPECT_TRUE(DeclaresDocumentType("\0<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0a\0>"s));
    // UTF-16 without a byte order mark, the document type behind a blank.
    EXPECT_TRUE(DeclaresDocumentType(" \0<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0a\0>\0"s));
    EXPECT_TRUE(DeclaresDocumentType("\0\n\0<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0a\0>"s));
}
