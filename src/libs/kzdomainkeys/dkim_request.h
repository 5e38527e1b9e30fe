#pragma once
// The agent's request to the execute entry:
// "<COMMAND>VERIFY</COMMAND><FILENAME>message file</FILENAME><CMDFILE>command file</CMDFILE>
//  <DOMAIN>sender's domain</DOMAIN><SENDER>sender's local part</SENDER>".

#include <string>
#include <string_view>

namespace kz::dkim {

struct DkimRequest {
    bool verify = false;  // the command is VERIFY (in any case)
    std::string messageFile;
    std::string domain;  // lower case, without a trailing dot
};

DkimRequest ParseDkimRequest(std::string_view text);

}  // namespace kz::dkim
