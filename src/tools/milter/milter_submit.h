#pragma once
// Handing a message to the MTA for delivery: its sendmail command, or SMTP.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace kz::tool {

struct Submission {
    std::string sender;  // bare address; empty for the null sender
    std::vector<std::string> recipients;
    std::string text;  // the message, CR LF lines
};

class MessageSubmitter {
  public:
    // Through `sendmail -G -i -f SENDER -- RCPTS` (the program named, or found on the PATH).
    static MessageSubmitter viaSendmail(std::string program);
    // By SMTP to HOST:PORT.
    static MessageSubmitter viaSmtp(std::string address);

    // True when the MTA took the message; otherwise the reason is in `why`.
    bool submit(const Submission& message, std::string& why) const;

    std::chrono::seconds timeout{60};

  private:
    bool sendmail(const Submission& message, std::string& why) const;
    bool smtp(const Submission& message, std::string& why) const;

    std::string sendmail_;
    std::string smtpAddress_;
};

// "exited with status 75 (temporary failure)", "was killed by signal 9 (SIGKILL)": a
// child's wait status in words.
std::string DescribeWaitStatus(int status);
// The message with each line end as LF, the form a local sendmail command reads.
std::string WithLfLineEnds(std::string_view text);
// SMTP's DATA: lines starting with '.' get another one, and the final "." line.
std::string DotStuffed(std::string_view text);

}  // namespace kz::tool
