// request_checks_test.cpp - the token, and the Host, Origin and cookie
// checks every request passes first.
#include "view/request_checks.hpp"

#include <gtest/gtest.h>

#include <set>

#include "view/token.hpp"

namespace binscope {
namespace {

TEST(ViewToken, Has256RandomBitsInUrlSafeCharactersAndComparesExactly) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        auto token = make_token();
        ASSERT_TRUE(token.has_value());
        EXPECT_EQ(token->size(), 43u);
        EXPECT_EQ(token->find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
                  std::string::npos);
        seen.insert(*token);
    }
    EXPECT_EQ(seen.size(), 50u);
    const std::string token = *make_token();
    EXPECT_TRUE(token_matches(token, token));
    std::string changed_first = token, changed_last = token;
    changed_first[0] = changed_first[0] == 'x' ? 'y' : 'x';
    changed_last[42] = changed_last[42] == 'A' ? 'B' : 'A';
    for (const std::string& other : {std::string(), token.substr(1), token + "a", changed_first, changed_last})
        EXPECT_FALSE(token_matches(other, token)) << other;
}

TEST(ViewRequestChecks, HostOriginAndCookieTable) {
    struct HostCase {
        const char* host;
        const char* bind;
        bool allowed;
    };
    for (const HostCase& c : std::initializer_list<HostCase>{
             {"127.0.0.1", "127.0.0.1", true},      {"127.0.0.1:8080", "127.0.0.1", true},
             {"localhost:1", "127.0.0.1", true},     {"LocalHost", "127.0.0.1", true},
             {"[::1]:9000", "127.0.0.1", true},      {"[::1]", "127.0.0.1", true},
             {"", "127.0.0.1", false},               {"evil.example", "127.0.0.1", false},
             {"127.0.0.1.evil.example", "127.0.0.1", false}, {"localhost.evil:80", "127.0.0.1", false},
             {"127.0.0.1:80x", "127.0.0.1", false},  {"127.0.0.1:123456", "127.0.0.1", false},
             {"[::1", "127.0.0.1", false},           {"10.0.0.5:80", "127.0.0.1", false},
             {"10.0.0.5:80", "0.0.0.0", true},       {"[fe80::1]:80", "::", true},
             {"myhost.lan:80", "0.0.0.0", false},    {"1.2.3", "0.0.0.0", false},
             {"1.2.3.4.5", "0.0.0.0", false}})
        EXPECT_EQ(host_allowed(c.host, c.bind), c.allowed) << c.host << " bound to " << c.bind;

    EXPECT_TRUE(origin_allowed("http://127.0.0.1:8080", "127.0.0.1:8080"));
    EXPECT_TRUE(origin_allowed("http://localhost:9000", "localhost:9000"));
    EXPECT_FALSE(origin_allowed("http://127.0.0.1:8081", "127.0.0.1:8080"));
    EXPECT_FALSE(origin_allowed("null", "127.0.0.1:8080"));
    EXPECT_FALSE(origin_allowed("https://127.0.0.1:8080", "127.0.0.1:8080"));
    EXPECT_FALSE(origin_allowed("http://evil.example", "127.0.0.1:8080"));

    EXPECT_EQ(cookie_value("a=1; binscope_token=xyz; b=2", kTokenCookie), "xyz");
    EXPECT_EQ(cookie_value("binscope_token=", kTokenCookie), "");
    EXPECT_FALSE(cookie_value("xbinscope_token=1; binscope_tokens=2", kTokenCookie).has_value());
    EXPECT_FALSE(cookie_value("", kTokenCookie).has_value());
    EXPECT_EQ(token_cookie("T"), "binscope_token=T; Path=/; HttpOnly; SameSite=Strict");
}

}  // namespace
}  // namespace binscope
