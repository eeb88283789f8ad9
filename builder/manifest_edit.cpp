// Manifest additions (see manifest_edit.h).
#include "manifest_edit.h"

#include "build_error.h"

const char *const ElevationLevels[3] = {"asInvoker", "highestAvailable", "requireAdministrator"};

std::string EditManifest(const std::string &xml, const std::string &elevation, bool dpi_aware)
{
    const size_t close = xml.rfind("</assembly>");
    if (close == std::string::npos)
        Refuse("stub: its manifest has no </assembly> to add to");
    std::string added;
    if (!elevation.empty()) {
        bool known = false;
        for (const char *level : ElevationLevels)
            known = known || elevation == level;
        if (!known)
            Refuse("--elevation: \"%s\" is not asInvoker, highestAvailable or requireAdministrator",
                   elevation.c_str());
        if (xml.find("requestedExecutionLevel") != std::string::npos)
            Refuse("--elevation: the stub's manifest already has a requestedExecutionLevel");
        added += "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
                 "    <security>\n"
                 "      <requestedPrivileges>\n"
                 "        <requestedExecutionLevel level=\"" + elevation + "\" uiAccess=\"false\"/>\n"
                 "      </requestedPrivileges>\n"
                 "    </security>\n"
                 "  </trustInfo>\n";
    }
    if (dpi_aware) {
        if (xml.find("dpiAware") != std::string::npos)
            Refuse("--dpi-aware: the stub's manifest already declares dpiAware");
        added += "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
                 "    <windowsSettings>\n"
                 "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>\n"
                 "    </windowsSettings>\n"
                 "  </application>\n";
    }
    return xml.substr(0, close) + added + xml.substr(close);
}
