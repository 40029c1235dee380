#pragma once
// Files of the shipped book that tests rebuild byte for byte.

#include <string>

// ExeConfig.xml as shipped: 233 bytes, UTF-8, CR LF line ends, the root on one line.
inline const std::string kShippedExeConfig =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<ExeConfig><ExeCaption><![CDATA[Full page fax print]]></ExeCaption>"
    "<WindowOpenMode>2</WindowOpenMode><WindowOpenWidth>800</WindowOpenWidth>"
    "<WindowOpenHeight>600</WindowOpenHeight></ExeConfig>\r\n";
