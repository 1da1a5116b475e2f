#pragma once
// A package that has come in, by either path, checked against the manifest before anything
// else is done with it: one that passes is held open for the install, one that fails is
// logged and deleted.

#include <string>

#include "UpdatePackage.h"
#include "UpdateState.h"

// True when the package at its local path is the manifest's; it is then held in
// state.checkedPackages. Otherwise the log says why, each line closed by lineEnd, and the file
// goes.
bool AcceptDownloadedPackage(UpdateState& state, const UpdatePackage& package,
                             const wchar_t* lineEnd);

// The same for a direct download's part file once it is whole: the part is checked, and only
// a part that passes is renamed to the package's local path. The descriptor the check read
// is held across the rename and is the one the install reads, so the package is digested
// once. A part that fails goes, with its validator, so it cannot survive into another run.
bool AcceptDownloadedPart(UpdateState& state, const UpdatePackage& package, const wchar_t* lineEnd);

// The log line of a body the downloader broke off at the manifest's size.
void LogPackageTooLarge(const UpdatePackage& package, const wchar_t* lineEnd);
