#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "model/model.h"

using namespace tollwick;

namespace {

const std::regex UUID4(R"([0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12})");

TEST(MapDb, AddWithoutKeyMakesFreshUuids) {
    MapDb<PlayDesc> m;
    const auto a = m.add(PlayDesc{"a"});
    const auto b = m.add(PlayDesc{"b"}, "");
    EXPECT_NE(a, b);
    EXPECT_TRUE(std::regex_match(a, UUID4)) << a;
    EXPECT_TRUE(std::regex_match(b, UUID4)) << b;
    EXPECT_EQ(m.get(b).id, "b");
    std::set<std::string> many;
    for (int i = 0; i < 1000; ++i)
        many.insert(newUuid4());
    EXPECT_EQ(many.size(), 1000u);
}

TEST(MapDb, AddUnderATakenKeyFailsAndKeepsTheFirstItem) {
    MapDb<PlayDesc> m;
    EXPECT_EQ(m.add(PlayDesc{"first"}, "k"), "k");
    try {
        m.add(PlayDesc{"second"}, "k");
        ADD_FAILURE();
    } catch (const KeyError& e) {
        EXPECT_STREQ(e.what(), "Key already exists");
    }
    EXPECT_EQ(m.size(), 1u);
    EXPECT_EQ(m.get("k").id, "first");
}

TEST(MapDb, KeepsInsertionOrderThroughRemoveAndSet) {
    MapDb<PlayDesc> m;
    for (const char* k : {"c", "a", "b", "d"})
        m.add(PlayDesc{k}, k);
    EXPECT_EQ(m.remove("a").id, "a");
    m.set("c", PlayDesc{"c2"}); // in place
    m.set("e", PlayDesc{"e"});  // appended
    std::vector<std::string> keys;
    for (const auto& [key, item] : m)
        keys.push_back(key + "=" + item.id);
    EXPECT_EQ(keys, (std::vector<std::string>{"c=c2", "b=b", "d=d", "e=e"}));
    EXPECT_EQ(m.get("d").id, "d"); // the index follows the shift
    EXPECT_EQ(m.at(2).id, "d");
    EXPECT_THROW(m.remove("a"), KeyError);
    EXPECT_THROW(m.get("a"), KeyError);
    EXPECT_EQ(m.find("a"), nullptr);
    EXPECT_EQ(m.size(), 4u);
}

TEST(MapDb, AtCountsFromTheEndForNegativeIndexes) {
    MapDb<PlayDesc> m;
    m.add(PlayDesc{"x"});
    m.add(PlayDesc{"y"});
    m.add(PlayDesc{"z"});
    EXPECT_EQ(m.at(0).id, "x");
    EXPECT_EQ(m.at(-1).id, "z");
    EXPECT_EQ(m.at(-3).id, "x");
    EXPECT_THROW(m.at(3), IndexError);
    EXPECT_THROW(m.at(static_cast<long long>(m.size())), IndexError);
    EXPECT_THROW(m.at(-4), IndexError);
    EXPECT_THROW(MapDb<PlayDesc>{}.at(0), IndexError);
}

TEST(MapDb, AsTableAppendsTheIdAfterTheRecordMembers) {
    MapDb<PlayDesc> m;
    EXPECT_EQ(m.asTable(), Json::array());
    m.add(PlayDesc{"ID_ping", true}, "k1");
    m.add(PlayDesc{"ID_melody"}, "k2");
    EXPECT_EQ(toJsonText(m.asTable()),
              R"([{"id": "k1", "doRepeat": true, "iterations": 2, "delaySec": 1.0}, )"
              R"({"id": "k2", "doRepeat": false, "iterations": 2, "delaySec": 1.0}])")
        << "a record member named id is overwritten by the key, in its own place";
    EXPECT_EQ(m.asTable([](const PlayDesc&) { return false; }), Json::array());
    EXPECT_EQ(m.asTable([](const PlayDesc& p) { return p.doRepeat; }).size(), 1u);

    MapDb<Programme> programmes;
    programmes.add(Programme{"song"}, "p");
    EXPECT_EQ(toJsonText(programmes.asTable()),
              R"([{"songId": "song", "date": "1900-01-01", "time": "00:00", "deleteAfterPlay": true, "id": "p"}])");
}

TEST(MapDb, FromDictReplacesEverythingOrNothing) {
    MapDb<Programme> m;
    m.add(Programme{"old"}, "old");
    m.fromDict(Json::parse(R"({"b": {"songId": "s1"}, "": {"songId": "s2"}, "a": {}})"));
    ASSERT_EQ(m.size(), 3u);
    EXPECT_FALSE(m.contains("old"));
    EXPECT_EQ(m.get("b").songId, "s1");
    EXPECT_TRUE(std::regex_match(std::next(m.begin())->first, UUID4)) << "the empty key gets a fresh id";
    EXPECT_EQ(m.at(1).songId, "s2");
    EXPECT_EQ(m.at(2).songId, "NULL");

    const MapDb<Programme> before = m;
    EXPECT_THROW(m.fromDict(Json::parse(R"({"x": {"songId": "ok"}, "y": {"date": "2024-02-30"}})")),
                 InvalidValueError);
    EXPECT_THROW(m.fromDict(Json::array()), TypeError);
    EXPECT_TRUE(m == before);
}

TEST(MapDb, FingerprintFollowsKeysValuesAndOrder) {
    MapDb<PlayDesc> a, b;
    a.add(PlayDesc{"x"}, "1");
    a.add(PlayDesc{"y"}, "2");
    b.add(PlayDesc{"y"}, "2");
    b.add(PlayDesc{"x"}, "1");
    EXPECT_TRUE(a == b) << "maps compare by content";
    EXPECT_NE(a.fingerprint(), b.fingerprint()) << "but the written file differs, so the fingerprint does";

    MapDb<PlayDesc> c;
    c.add(PlayDesc{"x"}, "1");
    c.add(PlayDesc{"y"}, "3");
    EXPECT_NE(a.fingerprint(), c.fingerprint());
    const auto before = c.fingerprint();
    c.get("3").delaySec = 2.0;
    EXPECT_NE(c.fingerprint(), before);
    c.get("3").delaySec = 1.0;
    EXPECT_EQ(c.fingerprint(), before);
    EXPECT_NE(MapDb<PlayDesc>{}.fingerprint(), c.fingerprint());
}

struct Holder {
    MapDb<Programme> programmes;
    static constexpr auto fields = std::tuple{field("programmes", &Holder::programmes)};
};

TEST(MapDb, DecodesAsAFieldAndNamesTheBadEntry) {
    const auto h = from_json<Holder>(R"({"programmes": {"p1": {"songId": "a"}, "p2": {"songId": "b"}}})");
    EXPECT_EQ(to_json(h), R"({"programmes": {"p1": {"songId": "a", "date": "1900-01-01", "time": "00:00", )"
                          R"("deleteAfterPlay": true}, "p2": {"songId": "b", "date": "1900-01-01", "time": "00:00", )"
                          R"("deleteAfterPlay": true}}})");
    try {
        from_json<Holder>(R"({"programmes": {"p1": {"time": "25:00"}}})");
        ADD_FAILURE();
    } catch (const InvalidValueError& e) {
        EXPECT_STREQ(e.what(), R"(Invalid value for "programmes.p1.time": cannot read "25:00")");
    }
}

TEST(Result, OkAndErrorAnswers) {
    const auto ok = Result<std::string>::Ok("value");
    EXPECT_TRUE(ok.isOk());
    EXPECT_EQ(ok.getValue(), "value");
    try {
        ok.getError();
        ADD_FAILURE();
    } catch (const InvalidValueError& e) {
        EXPECT_STREQ(e.what(), "Called getError() on an ok Result");
    }

    const auto err = Result<int>::Err("x");
    EXPECT_FALSE(err.isOk());
    EXPECT_EQ(err.getError(), "x");
    try {
        err.getValue();
        ADD_FAILURE();
    } catch (const InvalidValueError& e) {
        EXPECT_STREQ(e.what(), "Called getValue() on an error Result: x");
    }

    EXPECT_TRUE(Result<int>::Err(std::nullopt).isOk()) << "an absent error makes an ok result";
}

} // namespace
