// Command-line edits. Nothing is written unless every step before it
// succeeded: a file that cannot be read, a time moved below zero or a value
// that cannot be rewritten leaves every file as it was.
#include "quorrin/batch_run.h"

#include "common/file_text.h"
#include "quorrin/fader_loader.h"
#include "quorrin/fader_rewrite.h"
#include "quorrin/save_file.h"

#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>

#include <sys/stat.h>

namespace quorrin {

namespace {

constexpr int32_t kStatusDone = 0;
constexpr int32_t kStatusFailed = 1;

int32_t fail(std::ostream& err, const std::string& message) {
    err << "quorrin: " << message << "\n";
    return kStatusFailed;
}

void printMessages(const std::vector<std::string>& messages, std::ostream& err) {
    for (const std::string& message : messages)
        err << "quorrin: " << message << "\n";
}

bool isSameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

int32_t writeCueList(const BatchRequest& request, const std::string& fileName, CueTable& table,
                     int32_t timeFields, std::ostream& out, std::ostream& err) {
    for (const CueOperation& operation : request.operations)
        applyOperation(table, operation);
    const int32_t fields = request.writeFields != 0 ? request.writeFields : timeFields;
    const std::string text = formatCues(table, fields, request.ordering);
    if (request.ordering == Ordering::byTimes) {
        const int32_t leftOut = entriesLeftOutByTimes(table);
        if (leftOut > 0)
            err << "quorrin: warning: " << leftOut << (leftOut == 1 ? " entry" : " entries")
                << " at -1 s or earlier left out of the list by times; --by-channel keeps "
                << (leftOut == 1 ? "it" : "them") << "\n";
    }
    if (request.output == "-") {
        out << text;
        out.flush();
        return out ? kStatusDone : fail(err, "cannot write the cue list to standard output");
    }
    // The cue list holds no other line of the file, so it never replaces it.
    if (isSameFile(request.output, fileName))
        return fail(err, request.output +
                             " is the file that was loaded; --in-place edits it with its other "
                             "lines kept");
    if (const std::optional<std::string> failure = replaceFileText(request.output, text))
        return fail(err, *failure);
    return kStatusDone;
}

int32_t editInPlace(const BatchRequest& request, const std::string& fileName,
                    const std::string& text, int32_t timeFields, std::ostream& err) {
    std::vector<std::string> messages;
    const int32_t fields = request.writeFields != 0 ? request.writeFields : timeFields;
    const FaderRewrite rewrite =
        rewriteFaderText(text, timeFields, fields, request.operations, fileName, messages);
    printMessages(messages, err);
    if (!rewrite.error.empty()) return fail(err, rewrite.error);
    if (request.backup) {
        if (const std::optional<std::string> failure = replaceFileText(fileName + "~", text))
            return fail(err, *failure + "; " + fileName + " was left as it was");
    }
    if (const std::optional<std::string> failure = replaceFileText(fileName, rewrite.text))
        return fail(err, *failure);
    return kStatusDone;
}

} // namespace

int32_t runBatch(const BatchRequest& request, const std::string& fileName, int32_t timeFields,
                 std::ostream& out, std::ostream& err) {
    // Only a plain file is rewritten: renaming over a FIFO or a device would
    // put a file where the user had none.
    struct stat info {};
    if (request.inPlace && ::stat(fileName.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return fail(err, fileName + " is not a plain file; nothing was written");
    const toolset::FileText file = toolset::readFileText(fileName, toolset::kNoSizeLimit);
    if (file.status == toolset::FileText::Status::missing)
        return fail(err, "cannot read " + fileName + ": no such file");
    if (file.status == toolset::FileText::Status::tooLarge)
        return fail(err, "cannot read " + fileName + ": it is too large");
    if (file.status != toolset::FileText::Status::read)
        return fail(err, "cannot read " + fileName + ": " + std::strerror(file.error));
    if (request.inPlace) return editInPlace(request, fileName, file.text, timeFields, err);

    std::vector<std::string> messages;
    CueTable table = parseFaderText(file.text, timeFields, fileName, messages);
    printMessages(messages, err);
    return writeCueList(request, fileName, table, timeFields, out, err);
}

} // namespace quorrin
