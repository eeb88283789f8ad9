#include "archive/member_record.h"

MemberRecordFields MemberRecord;
