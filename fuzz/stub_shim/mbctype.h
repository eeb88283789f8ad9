// A stand-in for <mbctype.h>: the lead-byte test of the code page the fuzz
// target chose, the same table as CharNextA's (stub_stand_ins.cpp).
#pragma once

int _ismbblead(unsigned int byte);
