// The current member's record; see member_record.h.
#include "archive/member_record.h"

MemberRecordFields MemberRecord;

void ResetMemberRecord(bool encrypted)
{
    MemberRecord = MemberRecordFields{};
    MemberRecord.flags = encrypted ? MEMBER_ENCRYPTED : 0;
}
