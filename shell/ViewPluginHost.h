// Finding, checking and probing view plug-in libraries: the program's "plugins" folder, the
// library handle, the probe of the two information entries and the enumeration into the
// frame's plug-in table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shell/ViewPlugin.h"

namespace shell {

// System-menu ids of the view choices: the standard view, then plug-in i at the first plug-in
// id + i. The frame handles the whole range, so at most 15 plug-ins fit.
inline constexpr UINT ID_VIEW_STANDARD = 57616;
inline constexpr UINT ID_VIEW_FIRST_PLUGIN = 57617;
inline constexpr UINT ID_VIEW_LAST = 57631;
inline constexpr int kMaxViewPlugins = static_cast<int>(ID_VIEW_LAST - ID_VIEW_FIRST_PLUGIN) + 1;
inline constexpr const char* kViewMenuText = "兼容性视图";
inline constexpr const char* kStandardViewText = "Velmora交易客户端标准界面";

// "plugins/" under the program directory, ending with '/'. Plug-ins are looked for there only:
// never in the working directory and never along the loader's search path.
std::string ViewPluginFolder();

// The name as the plug-in table and "viewdll" keep it: ASCII letters upper case.
std::string UpperFileName(std::string_view name);

// The full path of the plug-in file whose name matches `fileName` ignoring ASCII case (an
// exact match first, as the folder may hold both spellings); empty when there is none or it is
// refused (see ViewPluginFileRefused). A name with a '/' is never looked for.
std::string FindViewPluginFile(std::string_view fileName);

// Why a plug-in file or the folder is not trusted; empty when it is. Only real directories
// and regular files count, and none that group or others may write: whoever can change the
// library runs code in the program. Symbolic links are refused rather than followed, so the
// file whose mode was checked is the file the loader opens, and a link cannot lead to a
// library outside the folder.
std::string ViewPluginFolderRefused(const std::string& folder);
std::string ViewPluginFileRefused(const std::string& path);

// A loaded plug-in library (dlopen with its full path, RTLD_NOW | RTLD_LOCAL); closed with the
// object.
class CViewPluginLibrary {
public:
    CViewPluginLibrary() = default;
    ~CViewPluginLibrary() { Close(); }
    CViewPluginLibrary(CViewPluginLibrary&& other) noexcept : handle_(other.handle_) {
        other.handle_ = nullptr;
    }
    CViewPluginLibrary& operator=(CViewPluginLibrary&& other) noexcept;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    void* Find(const char* symbol) const;

private:
    void* handle_ = nullptr;
};

// Loads the library at `path` and asks its two information entries: GetInstanceInfo must
// answer nonzero with the workspace flag and kind, GetWorkPlaceInfo must not answer negative.
// True keeps the library open in *library with *info as the plug-in filled it (its texts made
// to end inside their fields); false leaves *library closed.
bool ProbeViewPlugin(const std::string& path, CViewPluginLibrary* library, WorkPlaceInfo* info);

// The accepted plug-ins of the folder in file-name order, each probed and closed again; at most
// kMaxViewPlugins (later ones are left out), one per upper-case name, none whose name does not
// fit the table's field.
std::vector<ViewPluginEntry> EnumerateViewPlugins();

}  // namespace shell
