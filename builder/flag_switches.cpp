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
    {"shell-install", FLAG_SHELL_INSTALL,
     "start the command through the shell verb \"Install\", without parameters (bits 16 and 17)"},
    {"title-caption", FLAG_TITLE_CAPTION, "the dialog's caption is the title (bit 18)"},
    {"intro-yes-no", FLAG_INTRO_TWO_BUTTONS, "the intro question has Yes and No buttons (bit 19)"},
    {"intro-ok-cancel", FLAG_INTRO_TWO_BUTTONS | FLAG_INTRO_OK_CANCEL,
     "the intro question has OK and Cancel buttons (bits 19 and 20)"},
    {"argv0", FLAG_ARGV0, "append \" -argv0 \" and the installer's own path to the parameters (bit 21)"},
    {"hidden", FLAG_UNATTENDED,
     "unattended: no intro question, hidden dialog, extraction starts by itself (bit 22)"},
};

const unsigned FLAG_SWITCH_COUNT = sizeof FlagSwitches / sizeof FlagSwitches[0];
