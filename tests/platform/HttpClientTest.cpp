#include <curl/curl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Machine.h"
#include "tests/support/FirebirdServer.h"
#include "tests/support/LoopbackMonitor.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Far beyond what a call on the loopback address takes; only the trickling case is meant to reach its own.
constexpr std::chrono::milliseconds kAmple = 10s;

TEST(HttpClient, GivesTheReplysStatusAndFollowsNoRedirection) {
  const std::unique_ptr<platform::HttpClient> http = platform::MachineHttpClient();
  struct Case {
    const char* reply;
    int status;
  };
  const Case cases[] = {
      {"HTTP/1.1 200 OK", 200},
      {"HTTP/1.1 201 Created", 201},
      {"HTTP/1.1 302 Found\r\nLocation: /ping/moved", 302},
      {"HTTP/1.1 503 Service Unavailable", 503},
  };
  for (const Case& c : cases) {
    LoopbackMonitor monitor(c.reply);
    const platform::HttpReply reply = http->Get(monitor.Url("/ping/0c1d?job=backup"), kAmple);
    EXPECT_EQ(reply.status, c.status) << c.reply;
    EXPECT_EQ(reply.error, "") << c.reply;
    ASSERT_EQ(monitor.Requests().size(), 1u) << c.reply;
    EXPECT_TRUE(monitor.Requests()[0].starts_with("GET /ping/0c1d?job=backup HTTP/1.1\r\n"))
        << monitor.Requests()[0];
  }
}

TEST(HttpClient, PostsItsBodyAsText) {
  LoopbackMonitor monitor("HTTP/1.1 200 OK");
  const std::string body = "Backup n\xC3\xA3o verificado: a restaura\xC3\xA7\xC3\xA3o falhou";
  EXPECT_EQ(platform::MachineHttpClient()->Post(monitor.Url("/ping/0c1d/fail"), body, kAmple).status, 200);
  ASSERT_EQ(monitor.Requests().size(), 1u);
  const std::string request = monitor.Requests()[0];
  EXPECT_TRUE(request.starts_with("POST /ping/0c1d/fail HTTP/1.1\r\n")) << request;
  EXPECT_NE(request.find("\r\nContent-Type: text/plain; charset=utf-8\r\n"), std::string::npos) << request;
  EXPECT_TRUE(request.ends_with("\r\n\r\n" + body)) << request;
}

TEST(HttpClient, WithoutAReplyItSaysWhyWithoutTheAddressAndEndsByItsDeadline) {
  // The deadline holds for the name lookup only with the threaded resolver: the other one would need
  // SIGALRM, which a program with threads of its own must not have.
  EXPECT_NE(curl_version_info(CURLVERSION_NOW)->features & CURL_VERSION_ASYNCHDNS, 0);
  // Each byte comes well within any wait for the next one; the reply would be whole, a success, only
  // seconds after the deadline.
  LoopbackMonitor trickling("HTTP/1.1 200 OK", 100ms);
  const std::string closed = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
  struct Case {
    std::string url;
    const char* error;
  };
  const Case cases[] = {
      {trickling.Url("/ping/0c1d-secret"), "Timeout was reached"},
      {"http://" + closed + "/ping/0c1d-secret", "Couldn't connect to server: Connection refused"},
      {"https://" + closed + "/ping/0c1d-secret", "Couldn't connect to server: Connection refused"},
      {"ftp://" + closed + "/ping/0c1d-secret", "Unsupported protocol"},
  };
  const std::unique_ptr<platform::HttpClient> http = platform::MachineHttpClient();
  for (const Case& c : cases) {
    const platform::HttpReply reply = http->Get(c.url, 1s);
    EXPECT_EQ(reply.status, 0) << c.url;
    EXPECT_EQ(reply.error, c.error) << c.url;
  }
}

// What the shell's curl would have brought in: a program found in the current folder (it would run with
// the user's rights and read the address) and the user's ~/.curlrc (here one that follows redirections).
TEST(HttpClient, NeitherACurlInTheCurrentFolderNorTheUsersCurlSettingsTakePart) {
  TempFolder folder;
  const fs::path ran = folder.Path() / "curl-ran";
  folder.Write("curl", "#!/bin/sh\ntouch '" + ran.string() + "'\n");
  fs::permissions(folder.Path() / "curl", fs::perms::owner_all);
  folder.Write(".curlrc", "location\n");
  const fs::path before = fs::current_path();
  const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  fs::current_path(folder.Path());
  setenv("HOME", folder.Path().c_str(), 1);
  setenv("PATH", (".:" + path).c_str(), 1);

  LoopbackMonitor moved("HTTP/1.1 302 Found\r\nLocation: /ping/moved");
  const std::unique_ptr<platform::HttpClient> http = platform::MachineHttpClient();
  const platform::HttpReply redirected = http->Get(moved.Url("/ping/0c1d"), kAmple);
  const platform::HttpReply secure =
      http->Get("https://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/ping/0c1d", kAmple);

  fs::current_path(before);
  setenv("HOME", home.c_str(), 1);
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(redirected.status, 302);
  EXPECT_EQ(moved.Requests().size(), 1u);
  EXPECT_NE(secure.error, "");
  EXPECT_FALSE(fs::exists(ran));
}

}  // namespace
}  // namespace testsupport
