// The service's address: which base URL a run uses, how one is taken apart, how a query is written.
#include <string>

#include <gtest/gtest.h>

#include "runtime/errors.h"
#include "runtime/run_layout.h"
#include "service/api.h"
#include "service/service_url.h"
#include "support/scoped_state.h"

namespace tollwick {
namespace {

using test::ScopedEnv;
using test::ScopedRunLayout;

TEST(ServiceBaseUrl, TheEnvironmentOverridesTheRunsOwnAddress) {
    for (const bool release : {false, true}) {
        SCOPED_TRACE(release ? "release" : "development");
        ScopedRunLayout layout(RunLayout{release, "/nonexistent/assets-root", "/nonexistent/src"});
        {
            ScopedEnv unset("TOLLWICK_SERVICE_URL", std::nullopt);
            EXPECT_EQ(defaultServiceBaseUrl(), release ? RELEASE_SERVICE_BASE_URL : "http://127.0.0.1:5002");
        }
        {
            ScopedEnv empty("TOLLWICK_SERVICE_URL", "");
            EXPECT_EQ(defaultServiceBaseUrl(), release ? RELEASE_SERVICE_BASE_URL : "http://127.0.0.1:5002");
        }
        ScopedEnv set("TOLLWICK_SERVICE_URL", "http://127.0.0.1:6011/relay");
        EXPECT_EQ(defaultServiceBaseUrl(), "http://127.0.0.1:6011/relay");
        EXPECT_EQ(Api().baseUrl(), "http://127.0.0.1:6011/relay");
    }
    EXPECT_EQ(splitServiceBaseUrl(RELEASE_SERVICE_BASE_URL).isHttps, true);
}

TEST(ServiceBaseUrl, IsSplitIntoOriginAndPathPrefix) {
    struct Case {
        const char* url;
        const char* origin;
        const char* prefix;
        bool https;
    };
    const Case cases[] = {
        {"http://127.0.0.1:5002", "http://127.0.0.1:5002", "", false},
        {"https://bells.example.org", "https://bells.example.org", "", true},
        {"HTTPS://bells.example.org:8443/", "https://bells.example.org:8443", "", true},
        {"http://127.0.0.1:5002/relay/v2//", "http://127.0.0.1:5002", "/relay/v2", false},
        {"http://[::1]:5002/relay", "http://[::1]:5002", "/relay", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const ServiceAddress address = splitServiceBaseUrl(c.url);
        EXPECT_EQ(address.origin, c.origin);
        EXPECT_EQ(address.pathPrefix, c.prefix);
        EXPECT_EQ(address.isHttps, c.https);
    }
}

TEST(ServiceBaseUrl, UnusableOnesAreRefused) {
    for (const char* url : {"", "127.0.0.1:5002", "ftp://127.0.0.1", "http://", "http://:5002",
                            "http://host:", "http://host:0", "http://host:65536", "http://host:50a2",
                            "http://host/path?x=1", "http://host#top", "http://user@host", "http://[::1"}) {
        SCOPED_TRACE(url);
        EXPECT_THROW(splitServiceBaseUrl(url), InvalidValueError);
    }
}

TEST(ServiceQuery, EncodesAllButUnreservedBytes) {
    EXPECT_EQ(encodeQuery({}), "");
    EXPECT_EQ(encodeQuery({{"c", "ping"}, {"version", "v1.2.0-3-gabc~dirty_x"}}),
              "c=ping&version=v1.2.0-3-gabc~dirty_x");
    EXPECT_EQ(encodeQuery({{"id", "a b+c&d=e/f?g#h%"}}), "id=a%20b%2Bc%26d%3De%2Ff%3Fg%23h%25");
    EXPECT_EQ(encodeQuery({{"k\xC3\xA9y", "\xE2\x82\xAC"}}), "k%C3%A9y=%E2%82%AC");
    EXPECT_EQ(encodeQuery({{"b", "2"}, {"a", "1"}, {"b", "3"}}), "b=2&a=1&b=3");
}

} // namespace
} // namespace tollwick
