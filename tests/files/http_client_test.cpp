// The HTTP client against a server on 127.0.0.1, its proxy setting and the
// pieces of a list line.
#include "files/HttpClient.h"

#include "common/Error.h"
#include "common/Messages.h"
#include "files/http_test_server.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace {

using namespace setup;

TEST(HttpProxyTest, ServerValues) {
    ProxySetting p = ParseProxyServer("ftp=ftp.example:21;HTTP=proxy.example:8080;https=x:1");
    EXPECT_EQ("proxy.example", p.host);
    EXPECT_EQ(8080, p.port);
    p = ParseProxyServer("  http=  cache:3128");
    EXPECT_EQ("cache", p.host);
    EXPECT_EQ(3128, p.port);
    p = ParseProxyServer("plain.example:80");
    EXPECT_EQ("plain.example", p.host);
    EXPECT_EQ(80, p.port);
    // No port: no host, and the missing number is an error ("HTTP-init:").
    EXPECT_THROW(ParseProxyServer("nohost"), SetupError);
    EXPECT_THROW(ParseProxyServer("host:abc"), SetupError);
}

TEST(DownloadLineTest, FieldsAndNames) {
    TDownloadLine l = ParseDownloadLine("1234567 42 Sub/ReadMe.TXT");
    EXPECT_EQ(1234567, l.Date);
    EXPECT_EQ(42, l.Size);
    EXPECT_EQ("sub/readme.txt", l.Name);
    EXPECT_EQ("sub\\readme.txt", LocalDownloadName(l.Name));
    l = ParseDownloadLine("$10,-5;get.php?ID=7");
    EXPECT_EQ(16, l.Date);
    EXPECT_EQ(-5, l.Size);
    EXPECT_EQ("get.php?id=7", l.Name);
    EXPECT_EQ("get.php", LocalDownloadName(l.Name));
    // The number must start at the first character.
    EXPECT_EQ(0, ParseDownloadLine(" 99 1 a").Date);

    for (const char* bad : {"../x", "..%2Fx", "..%2fx", "a/..\\b", "%2e%2e/x", "c:x", "/abs",
                            "\\abs", "%5Cabs", "a/%2E%2E"})
        EXPECT_FALSE(IsContainedName(bad)) << bad;
    for (const char* good : {"x", "sub/y.txt", "..x", "a..b/c", "get.php?p=../x"})
        EXPECT_TRUE(IsContainedName(good)) << good;
}

// Files (not folders) in folder.
size_t FileCount(const std::string& folder) {
    size_t count = 0;
    plat::DirSearch search;
    for (bool found = search.first(folder + "*"); found; found = search.next())
        count += (search.entry().attributes & plat::kAttrDirectory) == 0;
    return count;
}

class HttpClientTest : public testenv::FreshEnv {
  protected:
    void SetUp() override {
        FreshEnv::SetUp();
        SetUnattended(true);
        AbortRequested = false;
    }
    void TearDown() override {
        SetUnattended(false);
        FreshEnv::TearDown();
    }
};

TEST_F(HttpClientTest, TextFilesAndFailures) {
    httptest::Server server(scratch_ + "srv\\");
    ASSERT_TRUE(server.Running());
    std::string body(300000, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7 + i / 251);
    server.Put("list.txt", "1 2 a\r\n");
    server.Put("data.bin", body);

    THttpClient client;
    int64_t announced = 0, last = 0;
    client.OnWorkBegin = [&](int64_t m) { announced = m; };
    client.OnWork = [&](int64_t c) { last = c; };
    EXPECT_EQ("1 2 a\r\n", client.GetText(server.Url("list.txt")));
    EXPECT_EQ("", client.GetText(server.Url("missing.txt")));
    EXPECT_NE(std::string::npos, client.LastError().find("404")) << client.LastError();

    const std::string local = scratch_ + "out\\data.bin";
    testenv::WriteFile(local, "old contents");
    ASSERT_TRUE(client.DownloadToFile(NoOwner, server.Url("data.bin"), local));
    EXPECT_EQ(body, testenv::ReadFile(local));
    EXPECT_EQ(static_cast<int64_t>(body.size()), announced);
    EXPECT_EQ(static_cast<int64_t>(body.size()), last);

    // A 404 and a connection closed half way leave the previous file as it
    // was, and no temporary file behind.
    testenv::WriteFile(local, "old contents");
    EXPECT_FALSE(client.DownloadToFile(NoOwner, server.Url("nothere.bin"), local));
    EXPECT_FALSE(client.DownloadToFile(NoOwner, server.Url("cut/data.bin"), local));
    EXPECT_EQ("old contents", testenv::ReadFile(local));
    EXPECT_FALSE(plat::fileExists(scratch_ + "out\\nothere.bin"));
    EXPECT_EQ(1u, FileCount(scratch_ + "out\\"));

    // Nobody listening.
    EXPECT_FALSE(client.DownloadToFile(NoOwner, "http://127.0.0.1:1/x", local));
    EXPECT_EQ("old contents", testenv::ReadFile(local));
}

// Sets the current user's proxy for one test and turns it off again.
class ProxyGuard {
  public:
    ProxyGuard(uint32_t enable, const std::string& server) {
        EXPECT_EQ(0u, key_.open(plat::RegRoot::CurrentUser, Key, plat::RegAccess::All, true));
        key_.setDword("proxyEnable", enable);
        key_.setString("ProxyServer", server);
    }
    ~ProxyGuard() {
        key_.setDword("proxyEnable", 0);
        key_.deleteValue("ProxyServer");
    }

  private:
    static constexpr const char* Key =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    plat::RegKey key_;
};

TEST_F(HttpClientTest, ProxyOfTheInternetSettings) {
    httptest::Server server(scratch_ + "srv\\");
    ASSERT_TRUE(server.Running());
    const std::string proxy = "ftp=other:21; http=127.0.0.1:" + std::to_string(server.Port());
    {
        ProxyGuard off(0, proxy);
        EXPECT_EQ("", THttpClient().Proxy.host);
    }
    {
        ProxyGuard bad(1, "no-port");
        EXPECT_EQ("", THttpClient().Proxy.host); // "HTTP-init:" shown, no proxy
    }
    ProxyGuard on(1, proxy);
    THttpClient client;
    EXPECT_EQ("127.0.0.1", client.Proxy.host);
    // The request goes to the proxy with the whole URL (WinHTTP adds ":80").
    EXPECT_EQ("", client.GetText("http://files.example.invalid/list.txt"));
    const std::string requests = server.Requests();
    EXPECT_EQ(0u, requests.find("http://files.example.invalid")) << requests;
    EXPECT_NE(std::string::npos, requests.find("/list.txt")) << requests;
}

} // namespace
