// The service client against an in-process fake service: the requests it sends, how it decodes
// answers, what it reports when the service fails, and how it writes downloads.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <httplib.h>

#include "fake_service.h"
#include "runtime/version.h"
#include "service/api.h"
#include "silent_peers.h"
#include "storage/atomic_file.h"
#include "support/log_capture.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"
#include "test_certificate.h"

namespace tollwick {
namespace {

using namespace std::chrono_literals;
using test::FakeService;
using test::LogCapture;
using test::ScopedEnv;
using test::TempDir;

// Short limits keep the tests of services that never answer at about a second each.
constexpr ServiceTimeouts SHORT_LIMITS{1000ms, 1000ms};

std::string allByteValues() {
    std::string bytes;
    for (int round = 0; round < 3; ++round)
        for (int value = 0; value < 256; ++value)
            bytes += static_cast<char>(value);
    return bytes;
}

bool loggedAnAnswer(const LogCapture& log) {
    const auto texts = log.textsAt(spdlog::level::debug);
    return std::any_of(texts.begin(), texts.end(), [](const std::string& text) { return text.rfind("RESP ", 0) == 0; });
}

class ServiceClientTest : public testing::Test {
protected:
    FakeService service;
    Api api{service.baseUrl(), SHORT_LIMITS};
    LogCapture log;
};

// --- the requests ---------------------------------------------------------------------------

TEST_F(ServiceClientTest, EachCommandSendsItsQueryKeysInOrder) {
    api.ping();
    api.getCalendarRegistry();
    api.downloadAnnouncement("morning-assembly", (std::filesystem::temp_directory_path() / "unused.mp3").string());

    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].target.rfind("/api/player/v1?c=ping&version=", 0), 0u) << requests[0].target;
    EXPECT_EQ(requests[0].param("version"), getVersion());
    EXPECT_EQ(requests[0].params.size(), 2u);
    EXPECT_EQ(requests[1].target, "/api/player/v1?c=getCalendarRegistry");
    EXPECT_EQ(requests[2].target, "/api/player/v1?c=downloadAnnouncement&id=morning-assembly");
}

TEST_F(ServiceClientTest, QueryValuesAreUrlEncodedAndKeepTheirOrder) {
    const std::string id = "a b&c=d/\xC3\xA9?+";
    api.get({{"zeta", "1"}, {"c", "downloadAnnouncement"}, {"id", id}});

    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/api/player/v1?zeta=1&c=downloadAnnouncement&id=a%20b%26c%3Dd%2F%C3%A9%3F%2B");
    EXPECT_EQ(requests[0].param("id"), id);
}

TEST(ServiceClientAddress, ABaseUrlWithAPathPrefixReachesTheEndpointBelowIt) {
    LogCapture log;
    FakeService service("/relay/tollwick");
    Api api(service.baseUrl() + "/", SHORT_LIMITS);

    EXPECT_TRUE(api.getCalendarRegistry().isOk());
    ASSERT_EQ(service.requests().size(), 1u);
    EXPECT_EQ(service.requests()[0].target, "/relay/tollwick/api/player/v1?c=getCalendarRegistry");
}

// --- decoding answers -----------------------------------------------------------------------

TEST_F(ServiceClientTest, AnswersAreDecodedByTheirContentType) {
    struct Case {
        const char* contentType;
        std::string body;
        ServiceAnswer::Kind kind;
    };
    const Case cases[] = {
        {"application/json", R"({"calendarVersion": 7})", ServiceAnswer::Kind::JSON},
        {"application/json; charset=utf-8", R"({"calendarVersion": 7})", ServiceAnswer::Kind::JSON},
        {"Application/JSON;charset=UTF-8", R"({"calendarVersion": 7})", ServiceAnswer::Kind::JSON},
        {"text/plain", "pong \xC3\xA9", ServiceAnswer::Kind::TEXT},
        {"text/plain; charset=utf-8", "pong \xC3\xA9", ServiceAnswer::Kind::TEXT},
        {"audio/mpeg", allByteValues(), ServiceAnswer::Kind::RAW},
        {"application/octet-stream", "{\"looks\": \"like JSON\"}", ServiceAnswer::Kind::RAW},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.contentType);
        service.answer(200, c.contentType, c.body);
        const Result<ServiceAnswer> result = api.get({{"c", "ping"}});
        ASSERT_TRUE(result.isOk()) << result.getError();
        const ServiceAnswer& answer = result.getValue();
        ASSERT_EQ(answer.kind(), c.kind);
        switch (c.kind) {
        case ServiceAnswer::Kind::JSON:
            EXPECT_EQ(answer.asJson(), Json::parse(c.body));
            EXPECT_THROW(answer.rawBody(), TypeError);
            break;
        case ServiceAnswer::Kind::TEXT:
            EXPECT_EQ(answer.asText(), c.body);
            EXPECT_THROW(answer.asJson(), TypeError);
            break;
        case ServiceAnswer::Kind::RAW:
            EXPECT_EQ(answer.rawBody(), c.body);
            EXPECT_EQ(answer.contentType(), c.contentType);
            break;
        }
        EXPECT_EQ(api.networkState(), NetworkState::OK);
    }
}

TEST_F(ServiceClientTest, EveryAnswerIsLoggedAtDebugLevelWithItsStatus) {
    service.answer(200, "application/json; charset=utf-8", R"({"version":4,"name":"B\u00e9la"})");
    api.get({{"c", "ping"}});
    service.answer(200, "audio/mpeg", std::string(1234, '\0'));
    api.get({{"c", "downloadAnnouncement"}});

    EXPECT_TRUE(log.contains(spdlog::level::debug, R"(RESP 200 {"version": 4, "name": "B\u00e9la"})"));
    EXPECT_TRUE(log.contains(spdlog::level::debug, "RESP 200 <1234 bytes of audio/mpeg>"));
}

// --- statuses and failures ------------------------------------------------------------------

TEST_F(ServiceClientTest, AnyStatusButTwoHundredIsAnErrorCarryingTheDecodedBody) {
    EXPECT_EQ(api.networkState(), NetworkState::UNKNOWN);

    service.answer(404, "text/plain; charset=utf-8", "no such announcement");
    Result<ServiceAnswer> result = api.get({{"c", "downloadAnnouncement"}, {"id", "x"}});
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.getError(), "no such announcement");
    EXPECT_EQ(api.networkState(), NetworkState::OK);
    EXPECT_TRUE(log.contains(spdlog::level::debug, "RESP 404 no such announcement"));

    service.answer(503, "application/json", R"({"error":"maintenance"})");
    result = api.get({{"c", "ping"}});
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.getError(), R"({"error": "maintenance"})");
    EXPECT_EQ(api.networkState(), NetworkState::OK);

    service.answer(204, "text/plain", "");
    EXPECT_FALSE(api.get({{"c", "ping"}}).isOk());
    EXPECT_TRUE(log.textsAt(spdlog::level::warn).empty());
}

TEST_F(ServiceClientTest, AJsonAnswerThatDoesNotParseIsAFailedExchange) {
    service.answer(200, "application/json", R"({"calendarVersion": )");
    const Result<ServiceAnswer> result = api.get({{"c", "ping"}});

    ASSERT_FALSE(result.isOk());
    EXPECT_FALSE(result.getError().empty());
    EXPECT_EQ(api.networkState(), NetworkState::ERROR);
    EXPECT_TRUE(log.contains(spdlog::level::warn, "Internet is unreachable"));
    EXPECT_FALSE(loggedAnAnswer(log));

    // The state follows the latest request only.
    service.answer(200, "text/plain", "pong");
    EXPECT_TRUE(api.get({{"c", "ping"}}).isOk());
    EXPECT_EQ(api.networkState(), NetworkState::OK);
}

// Runs one request and answers how long it took.
std::chrono::duration<double> timed(Api& api, Result<ServiceAnswer>& result) {
    const auto start = std::chrono::steady_clock::now();
    result = api.get({{"c", "ping"}});
    return std::chrono::steady_clock::now() - start;
}

TEST(ServiceClientFailure, AClosedPortIsReportedAtOnce) {
    LogCapture log;
    Api api("http://127.0.0.1:" + std::to_string(test::closedLoopbackPort()), SHORT_LIMITS);
    Result<ServiceAnswer> result = Result<ServiceAnswer>::Ok({});

    EXPECT_LT(timed(api, result).count(), 0.9);
    ASSERT_FALSE(result.isOk());
    EXPECT_NE(result.getError().find("Connection"), std::string::npos) << result.getError();
    EXPECT_EQ(api.networkState(), NetworkState::ERROR);
    EXPECT_TRUE(log.contains(spdlog::level::warn, "Internet is unreachable"));
}

// A request to `listener`, which never answers, fails after about one second: the limit of
// one second among `limits` ends it, and no other wait does.
void expectFailureAtTheOneSecondLimit(const test::SilentListener& listener, ServiceTimeouts limits) {
    Api api("http://127.0.0.1:" + std::to_string(listener.port()), limits);
    Result<ServiceAnswer> result = Result<ServiceAnswer>::Ok({});

    const double seconds = timed(api, result).count();
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, 3.0);
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(api.networkState(), NetworkState::ERROR);
}

TEST(ServiceClientFailure, AServerThatAcceptsButNeverAnswersFailsAtTheReadLimit) {
    LogCapture log;
    test::SilentListener silent;
    expectFailureAtTheOneSecondLimit(silent, SHORT_LIMITS);
}

TEST(ServiceClientFailure, AConnectionThatNeverCompletesFailsAtTheConnectLimit) {
    LogCapture log;
    test::SilentListener saturated(/*fillQueue=*/true);
    // The read limit is long: only the connect limit can end this request in time.
    expectFailureAtTheOneSecondLimit(saturated, {1000ms, 30000ms});
}

TEST(ServiceClientFailure, AnUnusableBaseUrlFailsSoftly) {
    LogCapture log;
    for (const char* baseUrl : {"", "ftp://127.0.0.1:5002", "127.0.0.1:5002", "http://127.0.0.1:99999"}) {
        SCOPED_TRACE(baseUrl);
        Api api(baseUrl, SHORT_LIMITS);
        const Result<ServiceAnswer> result = api.ping();
        ASSERT_FALSE(result.isOk());
        EXPECT_NE(result.getError().find("base URL"), std::string::npos) << result.getError();
        EXPECT_EQ(api.networkState(), NetworkState::ERROR);
    }
}

// --- HTTPS ----------------------------------------------------------------------------------

class ServiceClientHttpsTest : public testing::Test {
protected:
    LogCapture log;
    TempDir dir;
    test::CertificateFiles files = test::makeLoopbackCertificate(dir.path());
    FakeService service{"", std::make_unique<httplib::SSLServer>(files.certificate.c_str(), files.privateKey.c_str())};
};

TEST_F(ServiceClientHttpsTest, AServerWithATrustedCertificateIsAnswered) {
    service.answer(200, "application/json", R"({"calendarVersion": 2})");
    Api api(service.baseUrl(), SHORT_LIMITS);
    api.setTrustedCertificates(files.certificate.string());

    const Result<ServiceAnswer> result = api.ping();
    ASSERT_TRUE(result.isOk()) << result.getError();
    EXPECT_EQ(result.getValue().asJson()["calendarVersion"], 2);
}

TEST_F(ServiceClientHttpsTest, WithoutAFileTheSystemsStoreDecides) {
    // OpenSSL's default locations, which hold the system's store, can be pointed elsewhere.
    ScopedEnv store("SSL_CERT_FILE", files.certificate.string());
    ScopedEnv noDirectory("SSL_CERT_DIR", (dir.path() / "no-such-directory").string());
    Api api(service.baseUrl(), SHORT_LIMITS);

    const Result<ServiceAnswer> result = api.ping();
    EXPECT_TRUE(result.isOk()) << result.getError();
}

TEST_F(ServiceClientHttpsTest, ACertificateOutsideTheTrustedStoreIsRefused) {
    Api api(service.baseUrl(), SHORT_LIMITS); // the system's store, which does not hold the test's certificate

    const Result<ServiceAnswer> result = api.ping();
    ASSERT_FALSE(result.isOk());
    EXPECT_NE(result.getError().find("SSLServerVerification"), std::string::npos) << result.getError();
    EXPECT_EQ(api.networkState(), NetworkState::ERROR);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(ServiceClientHttpsTest, ACertificateForAnotherHostIsRefused) {
    // Trusted, but it names 127.0.0.1 only, not "localhost".
    Api api("https://localhost:" + std::to_string(service.port()), SHORT_LIMITS);
    api.setTrustedCertificates(files.certificate.string());

    const Result<ServiceAnswer> result = api.ping();
    ASSERT_FALSE(result.isOk());
    EXPECT_NE(result.getError().find("SSLServerVerification"), std::string::npos) << result.getError();
    EXPECT_TRUE(service.requests().empty());
}

// --- downloads ------------------------------------------------------------------------------

class ServiceDownloadTest : public ServiceClientTest {
protected:
    TempDir dir;
    std::filesystem::path target = dir.path() / "announcement.mp3";
};

TEST_F(ServiceDownloadTest, WritesExactlyTheBodyBytesOverAnyOlderFile) {
    const std::string body = allByteValues();
    writeFileAtomically(target, std::string(body.size() * 2, 'x'));
    service.answer(200, "audio/mpeg", body);

    const Result<std::monostate> result = api.downloadAnnouncement("fire-drill", target.string());
    ASSERT_TRUE(result.isOk()) << result.getError();
    EXPECT_EQ(readWholeFile(target), body);
}

TEST_F(ServiceDownloadTest, AnAnswerDecodedAsTextOrJsonIsNotAFile) {
    for (const char* contentType : {"text/plain; charset=utf-8", "application/json"}) {
        SCOPED_TRACE(contentType);
        service.answer(200, contentType, R"({"not": "audio"})");
        const Result<std::monostate> result = api.downloadAnnouncement("fire-drill", target.string());
        ASSERT_FALSE(result.isOk());
        EXPECT_EQ(result.getError().rfind("Failed to write file: ", 0), 0u) << result.getError();
        EXPECT_FALSE(std::filesystem::exists(target));
        EXPECT_EQ(api.networkState(), NetworkState::OK);
    }
}

TEST_F(ServiceDownloadTest, AFileThatCannotBeWrittenIsReported) {
    service.answer(200, "audio/mpeg", "ID3");
    const Result<std::monostate> result =
        api.downloadAnnouncement("fire-drill", (dir.path() / "missing" / "announcement.mp3").string());

    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.getError().rfind("Failed to write file: ", 0), 0u) << result.getError();
}

TEST_F(ServiceDownloadTest, AFailedRequestGivesItsOwnErrorAndWritesNothing) {
    writeFileAtomically(target, "older announcement");
    service.answer(404, "text/plain", "unknown announcement");
    Result<std::monostate> result = api.downloadAnnouncement("nope", target.string());
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.getError(), "unknown announcement");

    Api unreachable("http://127.0.0.1:" + std::to_string(test::closedLoopbackPort()), SHORT_LIMITS);
    const std::string getError = unreachable.get({{"c", "downloadAnnouncement"}, {"id", "nope"}}).getError();
    result = unreachable.downloadAnnouncement("nope", target.string());
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.getError(), getError);

    EXPECT_EQ(readWholeFile(target), "older announcement");
}

} // namespace
} // namespace tollwick
