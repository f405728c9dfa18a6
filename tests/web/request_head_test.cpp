// Reading a request's head before its body: where it ends, what delimits the body, the path.
#include <gtest/gtest.h>

#include "web/http/request_head.h"
#include "web/http/request_target.h"

using namespace tollwick::web;

namespace {

TEST(RequestHead, FieldsAndPath) {
    const std::string text = "POST /db/%75pdate%2Fx%C3%A9?a=%41&b=c+d&&e#top HTTP/1.1\r\nHost:  school-pc:2233 \r\n"
                             "content-length: 12\r\nX-Empty:\r\nX-Text: caf\xC3\xA9\tau lait\r\n\r\nbody";
    ASSERT_EQ(headLength(text), text.size() - 4);
    const auto head = parseRequestHead(std::string_view(text).substr(0, *headLength(text)));
    ASSERT_TRUE(head);
    EXPECT_EQ(head->method, "POST");
    EXPECT_EQ(head->target, "/db/%75pdate%2Fx%C3%A9?a=%41&b=c+d&&e#top");
    EXPECT_EQ(head->field("HOST"), "school-pc:2233");
    EXPECT_EQ(head->field("x-text"), "caf\xC3\xA9\tau lait");
    EXPECT_EQ(head->field("x-empty"), "");
    EXPECT_FALSE(head->field("Cookie"));
    const BodyFraming framing = bodyFramingOf(*head);
    EXPECT_EQ(framing.kind, BodyFraming::Kind::LENGTH);
    EXPECT_EQ(framing.length, 12u);
    EXPECT_FALSE(headLength("GET / HTTP/1.1\r\nHost: x\r\n"));
}

TEST(RequestTarget, SegmentsAreDecodedEachOnItsOwn) {
    const RequestTarget target = readTarget("/db/%75pdate%2Fx%C3%A9?a=%41&b=c+d&&e#top");
    EXPECT_EQ(target.segments, (std::vector<std::string>{"db", "update/x\xC3\xA9"})) << "%2F stays in its segment";
    EXPECT_EQ(target.path, "/db/update/x\xC3\xA9");
    EXPECT_EQ(target.args, (Args{{"a", "A"}, {"b", "c d"}, {"e", ""}}));
    struct Case {
        const char* target;
        std::vector<std::string> segments;
    };
    const std::vector<Case> cases{
        {"/", {}},
        {"/?x=1", {}},
        {"//", {"", ""}},
        {"/a/", {"a", ""}},
        {"/a//b", {"a", "", "b"}},
        {"/%zz%4", {"%zz%4"}}, // what is not a sequence stays as it is
        {"/a+b%20c", {"a+b c"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readTarget(c.target).segments, c.segments) << c.target;
}

TEST(RequestHead, AmbiguousHeadsAreMalformed) {
    for (const char* text : {
             "GET / HTTP/1.1\nHost: x\r\n\r\n",         // bare LF
             "GET / HTTP/1.1\r\nHost: x\r\r\n\r\n",     // bare CR
             "GET / HTTP/1.1\r\nHost: x\r\n y\r\n\r\n", // folded line
             "GET / HTTP/1.1\r\nHost : x\r\n\r\n",      // blank before the colon
             "GET / HTTP/1.1\r\nHost\r\n\r\n",          // no colon
             "GET /  HTTP/1.1\r\n\r\n",                 // two blanks
             "GET / HTTP/2\r\n\r\n",                    // another version
             "G(T / HTTP/1.1\r\n\r\n",                  // not a token
             "GET /a\tb HTTP/1.1\r\n\r\n",              // a tab inside the target
             "GET /a\x7f HTTP/1.1\r\n\r\n",             // DEL inside the target
             "GET x HTTP/1.1\r\n\r\n",                  // a target that is no path
             "GET / HTTP/1.1\r\nX: a\x01b\r\n\r\n",     // a control character in a value
             "GET / HTTP/1.1\r\nX: a\x7f\r\n\r\n",      // DEL in a value
         })
        EXPECT_FALSE(parseRequestHead(text)) << text;
    EXPECT_FALSE(parseRequestHead(std::string("GET /\0 HTTP/1.1\r\n\r\n", 20)));
}

TEST(RequestHead, BodyFraming) {
    struct Case {
        const char* fields;
        const char* method;
        BodyFraming::Kind kind;
        std::uint64_t length;
    };
    using K = BodyFraming::Kind;
    const std::vector<Case> cases{
        {"", "GET", K::LENGTH, 0},
        {"", "DELETE", K::LENGTH, 0},
        {"", "POST", K::MISSING, 0},
        {"", "PUT", K::MISSING, 0},
        {"Content-Length: 0\r\n", "POST", K::LENGTH, 0},
        {"Content-Length: 5\r\ncontent-length: 5\r\n", "POST", K::LENGTH, 5},
        {"Content-Length: 5\r\nContent-Length: 6\r\n", "POST", K::INVALID, 0},
        {"Content-Length: -1\r\n", "POST", K::INVALID, 0},
        {"Content-Length: 1e3\r\n", "POST", K::INVALID, 0},
        {"Content-Length: 99999999999999999999999\r\n", "POST", K::INVALID, 0},
        {"Transfer-Encoding: chunked\r\nContent-Length: 5\r\n", "POST", K::ENCODED, 0},
        {"Transfer-Encoding: identity\r\n", "GET", K::ENCODED, 0},
    };
    for (const Case& c : cases) {
        const auto head = parseRequestHead(std::string(c.method) + " / HTTP/1.1\r\n" + c.fields + "\r\n");
        ASSERT_TRUE(head) << c.fields;
        const BodyFraming framing = bodyFramingOf(*head);
        EXPECT_EQ(framing.kind, c.kind) << c.method << " " << c.fields;
        if (c.kind == K::LENGTH) {
            EXPECT_EQ(framing.length, c.length) << c.fields;
        }
    }
}

} // namespace
