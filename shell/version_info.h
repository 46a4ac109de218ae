// qvhost --version: the versions of qvhost and of the extensions it loaded,
// read from their version resources.
#ifndef QVHOST_VERSION_INFO_H
#define QVHOST_VERSION_INFO_H

#include <string>
#include <vector>

// The file version in the version resource of the module at `path`, as
// "major.minor.patch" (with a fourth part when it is not 0); "(no version)"
// when the module has no readable version resource.
std::string moduleVersion(const std::wstring& path);

// The version of the running program (qvhost), as moduleVersion gives it.
std::string programVersion();

// The lines "qvhost VERSION", then "NAME VERSION" for each extension path,
// in UTF-8.
std::string versionReport(const std::vector<std::wstring>& extensions);

#endif
