#pragma once
// The pages of a PDF as images, for a book made from a PDF.

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

struct TRenderedPdf {
    std::vector<std::filesystem::path> pages; // PNG files, in page order
    std::string title;                        // the document's own title (UTF-8), or empty
};

constexpr int kDefaultPdfDpi = 150;
// Resolutions --dpi accepts, and the most pixels a rendered page may have on either side.
constexpr int kMinPdfDpi = 10;
constexpr int kMaxPdfDpi = 1200;
constexpr int kMaxPagePixels = 10000;

// Raises TMissingPrerequisite in a build without a PDF renderer.
void CheckPdfRenderer();

// Renders every page of pdf at dpi into folder (which exists), reporting progress on one line
// of progress. Raises TError for a PDF that cannot be read, is encrypted, has no pages or a page
// too large to render.
TRenderedPdf RenderPdfPages(const std::string& pdf, int dpi, const std::filesystem::path& folder,
                            std::ostream& progress);
