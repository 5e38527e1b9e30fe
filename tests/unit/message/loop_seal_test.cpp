#include "message/loop_seal.h"

#include <gtest/gtest.h>

#include "base/ascii.h"
#include "config/registry_keys.h"
#include "unit/config/config_fixture.h"
#include "unit/message/installed_seal.h"

namespace kz::test {
namespace {

// HMAC-SHA256 of "sealed.eml" under the test key, as an independent tool computes it.
constexpr std::string_view kSealedEml =
    "da0892484c388f967e60010f355ccf2c02342fd61d39daf09051b10c4ec612c5";

TEST(LoopSealTest, VerifiesOnlyTheSealOfTheSameName) {
    const LoopSeal seal(TestSealKey());
    EXPECT_EQ(seal.sealFor("sealed.eml"), kSealedEml);
    EXPECT_TRUE(seal.verifies("sealed.eml", " " + std::string(kSealedEml) + "\r\n"));
    EXPECT_TRUE(seal.verifies("sealed.eml", toUpperAscii(kSealedEml)));

    EXPECT_FALSE(seal.verifies("SEALED.EML", kSealedEml));
    std::string flipped(kSealedEml);
    flipped[63] = '4';
    EXPECT_FALSE(seal.verifies("sealed.eml", flipped));
    EXPECT_FALSE(seal.verifies("sealed.eml", kSealedEml.substr(0, 62)));
    EXPECT_FALSE(seal.verifies("sealed.eml", std::string(kSealedEml) + "00"));
    EXPECT_FALSE(seal.verifies("sealed.eml", "1"));
    EXPECT_FALSE(seal.verifies("sealed.eml", std::string(64, 'g')));
    EXPECT_FALSE(LoopSeal(LoopSeal::Key{}).verifies("sealed.eml", kSealedEml));
}

class LoopSealKeyTest : public ConfigTest {};

TEST_F(LoopSealKeyTest, TheFirstLoadCreatesTheSecretAndLaterLoadsKeepIt) {
    std::optional<LoopSeal> first = LoadLoopSeal();
    ASSERT_TRUE(first);
    auto stored = registry().query(config::kLoopSealKeyPath, config::kLoopSealKey);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->asString().size(), 64u);
    EXPECT_EQ(stored->asString().find_first_not_of("0123456789abcdef"), std::string::npos);
    std::optional<LoopSeal> again = LoadLoopSeal();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->sealFor("A.MAI"), first->sealFor("A.MAI"));

    // A value that is no key of 32 bytes is replaced by a new random one.
    for (std::string_view bad : {"", "xyz", "00"}) {
        setString(config::kLoopSealKeyPath, config::kLoopSealKey, bad);
        std::optional<LoopSeal> fresh = LoadLoopSeal();
        ASSERT_TRUE(fresh);
        EXPECT_NE(fresh->sealFor("A.MAI"), first->sealFor("A.MAI"));
        EXPECT_EQ(
            registry().query(config::kLoopSealKeyPath, config::kLoopSealKey)->asString().size(),
            64u);
    }
}

// A key an older version kept under the agent's own key is moved, so seals made before
// still verify and the secret is no longer where every reader of that key finds it.
TEST_F(LoopSealKeyTest, AKeyUnderTheAgentKeyIsMovedToItsOwnKey) {
    const std::string old(64, 'a');
    setString(config::kAgentKey, config::kLoopSealKey, old);
    std::optional<LoopSeal> moved = LoadLoopSeal();
    ASSERT_TRUE(moved);
    LoopSeal::Key key;
    key.fill(0xaa);
    EXPECT_EQ(moved->sealFor("A.MAI"), LoopSeal(key).sealFor("A.MAI"));
    EXPECT_EQ(registry().query(config::kLoopSealKeyPath, config::kLoopSealKey)->asString(), old);
    EXPECT_FALSE(registry().query(config::kAgentKey, config::kLoopSealKey));
}

}  // namespace
}  // namespace kz::test
