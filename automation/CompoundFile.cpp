#include "automation/CompoundFile.h"

#include "automation/WorkbookError.h"
#include "base/Format.h"

#include <gsf/gsf.h>

#include <mutex>

namespace tabellix {

namespace {

struct TUnref {
    void operator()(void* object) const {
        if (object)
            g_object_unref(object);
    }
};
template <class T> using TGsfPtr = std::unique_ptr<T, TUnref>;

std::string ReadStream(GsfInput* stream) {
    const gsf_off_t size = gsf_input_size(stream);
    if (size < 0 || static_cast<uint64_t>(size) > MaxPartBytes)
        FailRead(TWorkbookErrorCode::TooLarge,
                 "the workbook stream is larger than this program reads");
    std::string out(static_cast<size_t>(size), '\0');
    if (size > 0 &&
        !gsf_input_read(stream, static_cast<size_t>(size), reinterpret_cast<guint8*>(out.data())))
        FailRead(TWorkbookErrorCode::Truncated, "the workbook stream ends early");
    return out;
}

// The library reports damaged files on the process's log as well as to us;
// the error raised here is the one report the user gets.
void QuietLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const char* domain : {"libgsf:msole", "libgsf", "GLib-GObject"})
            g_log_set_handler(
                domain, static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK),
                [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

std::string WorkbookStreamOf(GsfInput* input) {
    QuietLibraryLog();
    GError* error = nullptr;
    TGsfPtr<GsfInfile> infile(gsf_infile_msole_new(input, &error));
    if (!infile) {
        std::string detail = error && error->message ? error->message : "unknown reason";
        if (error)
            g_error_free(error);
        FailRead(TWorkbookErrorCode::Malformed,
                 Format("the compound file is damaged (%s)", {detail}));
    }
    if (TGsfPtr<GsfInput> sealed{gsf_infile_child_by_name(infile.get(), "EncryptedPackage")})
        FailRead(TWorkbookErrorCode::Encrypted, "the workbook is encrypted with a password");
    for (const char* name : {"Workbook", "Book", "WORKBOOK", "BOOK"})
        if (TGsfPtr<GsfInput> stream{gsf_infile_child_by_name(infile.get(), name)})
            return ReadStream(stream.get());
    FailRead(TWorkbookErrorCode::MissingPart,
             "the compound file holds no readable workbook stream (it may be truncated)");
}

} // namespace

std::string ReadCompoundWorkbookStream(const std::string& fileName) {
    GError* error = nullptr;
    TGsfPtr<GsfInput> input(gsf_input_stdio_new(fileName.c_str(), &error));
    if (!input) {
        std::string detail = error && error->message ? error->message : "unknown reason";
        if (error)
            g_error_free(error);
        FailRead(TWorkbookErrorCode::CannotOpen, detail);
    }
    return WorkbookStreamOf(input.get());
}

std::string ReadCompoundWorkbookStreamFromMemory(std::string_view bytes) {
    TGsfPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                                 static_cast<gsf_off_t>(bytes.size()), FALSE));
    if (!input)
        FailRead(TWorkbookErrorCode::CannotOpen, "the compound file cannot be read");
    return WorkbookStreamOf(input.get());
}

} // namespace tabellix
