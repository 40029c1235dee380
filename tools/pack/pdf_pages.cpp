#include "tools/pack/pdf_pages.h"

#include "tools/pack/pack_errors.h"

#ifdef LEAFTURN_WITH_POPPLER
#include <algorithm>
#include <memory>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

namespace {

// Poppler's complaints, kept for the message when a document cannot be read rather than
// printed as they come.
class TComplaints {
public:
    TComplaints() { poppler::set_debug_error_function(Keep, &last_); }
    ~TComplaints() { poppler::set_debug_error_function(Keep, nullptr); }
    std::string Last() const { return last_.empty() ? "" : ": " + last_; }

private:
    static void Keep(const std::string& text, void* last) {
        if (last)
            *static_cast<std::string*>(last) = text;
    }
    std::string last_;
};

} // namespace

void CheckPdfRenderer() {}

TRenderedPdf RenderPdfPages(const std::string& pdf, int dpi, const std::filesystem::path& folder,
                            std::ostream& progress) {
    const TComplaints complaints;
    const std::unique_ptr<poppler::document> document(poppler::document::load_from_file(pdf));
    if (!document)
        throw TError(pdf + " is not a readable PDF" + complaints.Last());
    if (document->is_locked() || document->is_encrypted())
        throw TError(pdf + " is encrypted; leafturn-pack reads only unencrypted PDFs");
    const int count = document->pages();
    if (count <= 0)
        throw TError(pdf + " has no pages");

    TRenderedPdf rendered;
    const poppler::byte_array title = document->get_title().to_utf8();
    rendered.title.assign(title.begin(), title.end());
    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing);
    // The progress line is ended also when a page fails, so that the message starts a line.
    try {
        for (int i = 0; i < count; ++i) {
            progress << "\rrendering page " << (i + 1) << " of " << count << std::flush;
            const std::unique_ptr<poppler::page> page(document->create_page(i));
            if (!page)
                throw TError(pdf + ": page " + std::to_string(i + 1) + " cannot be read");
            // Checked before rendering: a few bytes of PDF can ask for a page of any size.
            const poppler::rectf box = page->page_rect();
            const double side = std::max(box.width(), box.height()) * dpi / 72.0;
            if (!(side <= kMaxPagePixels))
                throw TError(pdf + ": page " + std::to_string(i + 1) + " would be more than " +
                             std::to_string(kMaxPagePixels) + " pixels wide or high at " +
                             std::to_string(dpi) + " dpi");
            const poppler::image image = renderer.render_page(page.get(), dpi, dpi);
            const std::filesystem::path file = folder / (std::to_string(i + 1) + ".png");
            if (!image.is_valid() || !image.save(file.string(), "png", dpi))
                throw TError(pdf + ": page " + std::to_string(i + 1) + " cannot be rendered");
            rendered.pages.push_back(file);
        }
    } catch (...) {
        progress << "\n";
        throw;
    }
    progress << "\n";
    return rendered;
}

#else

void CheckPdfRenderer() {
    throw TMissingPrerequisite("--pdf: this leafturn-pack was built without a PDF renderer; use "
                               "the Linux leafturn-pack, or give the pages as images");
}

TRenderedPdf RenderPdfPages(const std::string&, int, const std::filesystem::path&, std::ostream&) {
    CheckPdfRenderer();
    return {};
}

#endif
