// The switch table (see flag_switches.h). Ordered by bit.
#include "flag_switches.h"

#include "portable/parameter_block.h"

const FlagSwitch FlagSwitches[] = {
    {"wait", FLAG_WAIT, "after the command ends, keep the dialog open until the user confirms (bit 6)"},
    {"password-prompt", FLAG_ENCRYPTED,
     "ask for the password before extracting (bit 8; set by itself when a member is encrypted)"},
    {"auto", FLAG_AUTO, "start extracting without waiting for a click (bit 9)"},
    {"sign-friendly", FLAG_SIGN_FRIENDLY,
     "leave the PE headers out of the self-check, so the result can be signed afterwards (bit 11)"},
    {"info-button", FLAG_INFO_BUTTON, "the dialog's extra button reads \"&Info...\" (bit 13)"},
    {"exe-volumes", FLAG_EXE_VOLUMES,
     "with --span: the disks after the first carry NAME.EXE rather than NAME.ZIP (bit 15)"},
    {"shell-install", FLAG_SHELL_INSTALL,
     "start the command through the shell verb \"Install\", without parameters (bits 16 and 17)"},
    {"title-caption", FLAG_TITLE_CAPTION, "the dialog's caption is the title (bit 18)"},
    {"intro-yes-no", FLAG_INTRO_TWO_BUTTONS, "the intro question has Yes and No buttons (bit 19)"},
    {"intro-ok-cancel", FLAG_INTRO_TWO_BUTTONS | FLAG_INTRO_OK_CANCEL,
     "the intro question has OK and Cancel buttons (bits 19 and 20)"},
    {"argv0", FLAG_ARGV0, "append \" -argv0 \" and the installer's own path to the parameters (bit 21)"},
    {"hidden", FLAG_UNATTENDED,
     "unattended: no intro question, hidden dialog, extraction starts by itself (bit 22)"},
    {"exit-codes", FLAG_EXIT_CODES,
     "exit with the command's own exit code, or with one of the installer's (README) (bit 24)"},
    {"no-error-boxes", FLAG_NO_ERROR_BOXES,
     "with --hidden: every message goes to a log (-log PATH, else TVSFX<pid>.LOG in the\n"
     "                     temporary folder's parent) instead of a box (bit 25)"},
    {"wait-all", FLAG_WAIT_ALL,
     "run the command in a job object and wait until every process in it has ended (bit 26)"},
};

const unsigned FLAG_SWITCH_COUNT = sizeof FlagSwitches / sizeof FlagSwitches[0];

namespace {

// Bits the stub reads that no switch sets by itself.
struct BitName {
    uint32_t mask;
    const char *name;
};
const BitName DerivedBits[] = {
    {FLAG_WAIT_FOR_NAMED, "wait-name"},
    {FLAG_HAS_TITLE, "title"},
    {FLAG_SPANNED, "spanned"},
};

}  // namespace

std::vector<std::string> FlagWordNames(uint32_t flags)
{
    std::vector<std::string> names;
    uint32_t named = 0;
    for (unsigned bit = 0; bit < 32; bit++) {
        const uint32_t mask = 1u << bit;
        if (!(flags & mask) || (named & mask))
            continue;
        const char *name = nullptr;
        uint32_t covered = mask;
        for (const BitName &derived : DerivedBits)
            if (derived.mask == mask)
                name = derived.name;
        // The widest set switch whose lowest bit this is.
        for (unsigned index = 0; index < FLAG_SWITCH_COUNT; index++) {
            const FlagSwitch &flag = FlagSwitches[index];
            if ((flag.mask & (0u - flag.mask)) == mask && (flags & flag.mask) == flag.mask &&
                (!name || flag.mask > covered)) {
                name = flag.name;
                covered = flag.mask;
            }
        }
        if (name) {
            names.push_back(name);
            named |= covered;
        } else {
            names.push_back("bit " + std::to_string(bit));
            named |= mask;
        }
    }
    return names;
}
