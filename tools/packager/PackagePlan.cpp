#include "PackagePlan.h"

#include <fstream>
#include <optional>

namespace vesk::packager {
namespace {

constexpr std::uint32_t kOwnerExecute = 0100;

// nullopt when either file cannot be read to its end.
std::optional<bool> SameContent(const std::string& a, const std::string& b) {
    std::ifstream left(a, std::ios::binary);
    std::ifstream right(b, std::ios::binary);
    if (!left || !right) return std::nullopt;
    char leftBuffer[65536];
    char rightBuffer[65536];
    for (;;) {
        left.read(leftBuffer, sizeof leftBuffer);
        right.read(rightBuffer, sizeof rightBuffer);
        if (left.bad() || right.bad()) return std::nullopt;
        if (left.gcount() != right.gcount()) return false;
        if (!std::equal(leftBuffer, leftBuffer + left.gcount(), rightBuffer)) return false;
        if (left.eof() || right.eof()) return left.eof() && right.eof();
    }
}

void Add(PackagePlan& plan, const ReleaseItem& item) {
    plan.entries.push_back(&item);
    if (!item.folder) ++plan.files;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

PackagePlan PlanFullPackage(const ReleaseTree& release) {
    PackagePlan plan;
    plan.tree = &release;
    for (const ReleaseItem& item : release.items) {
        if (!item.folder || item.empty) Add(plan, item);
    }
    return plan;
}

std::string PlanUpdatePackage(const ReleaseTree& previous, const ReleaseTree& next,
                              PackagePlan& out) {
    out = {};
    out.tree = &next;
    for (const ReleaseItem& item : next.items) {
        const ReleaseItem* before = previous.Find(item.name);
        if (before && before->folder != item.folder) {
            return Quoted(item.name) + " is a " + (before->folder ? "folder" : "file") + " in " +
                   Quoted(previous.root) + " and a " + (item.folder ? "folder" : "file") + " in " +
                   Quoted(next.root) + "; the updater cannot replace one by the other";
        }
        if (item.folder) {
            if (!before && item.empty) Add(out, item);
            continue;
        }
        if (before) {
            const std::optional<bool> same =
                before->size == item.size ? SameContent(previous.PathOf(*before), next.PathOf(item))
                                          : std::optional<bool>(false);
            if (!same) {
                return "cannot compare " + Quoted(previous.PathOf(*before)) + " with " +
                       Quoted(next.PathOf(item));
            }
            const bool sameBits = before->readOnly() == item.readOnly() &&
                                  (before->mode & kOwnerExecute) == (item.mode & kOwnerExecute);
            if (*same && sameBits) continue;
            // The updater never replaces a file without write permission.
            if (before->readOnly()) {
                return Quoted(item.name) + " changes but is read-only in " + Quoted(previous.root) +
                       "; the updater cannot replace it";
            }
        }
        Add(out, item);
    }
    return {};
}

}  // namespace vesk::packager
