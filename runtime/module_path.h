// Where the library finds what it loads or opens by name at run time (the
// transport module, the export plug-in, the display library, the user
// guide): relative to the core library itself, so that one build works from
// its build folder, where everything sits beside the library, and from an
// installed tree, where the modules have a folder of their own below the
// library's and the documents live under share/doc.
#pragma once

#include <string>
#include <vector>

namespace tarvio {

// The folder holding the core library (absolute, no trailing slash); empty
// when the loader cannot tell.
std::string library_folder();

// The paths to try for a module file, in order: the installed module folder
// below the library's, the library's own folder, then the bare name (the
// loader's default search path).
std::vector<std::string> module_candidates(const std::string& file);

// The paths to try for a document such as user-guide.md, in order: the
// installed documentation folder, then the library's own folder.
std::vector<std::string> document_candidates(const std::string& file);

}  // namespace tarvio
