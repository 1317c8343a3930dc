// What each thing of a level becomes: its frames, the cogs that drive it, and the tables of
// pickups, actors and team entities.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "level/O_jkl.h"
#include "things/CogScript.h"
#include "things/ThingPlan.h"

namespace {

TEST(ThingFrames, ReadsEachFrameAndPassesOverThoseItCannotRead) {
  const TThingParams params = ParseThingParams(
      "thingflags=0x8 numframes=4 frame=(1/2/3:0/90/0) frame=(.5/-1/2e-1:10/0/-5) "
      "frame=(1/2:0/0/0) frame=(1/2/3:0/0/x) frame=1/2/3:0/0/0 frame=(-4/5/6:1/2/3)");
  const std::vector<TThingFrame> f = ThingFrames(params);
  ASSERT_EQ(f.size(), 3u);
  EXPECT_FLOAT_EQ(f[0].Position.Z, 3);
  EXPECT_FLOAT_EQ(f[0].Yaw, 90);
  EXPECT_FLOAT_EQ(f[1].Position.X, 0.5f);
  EXPECT_FLOAT_EQ(f[1].Position.Z, 0.2f);
  EXPECT_FLOAT_EQ(f[1].Roll, -5);
  EXPECT_FLOAT_EQ(f[2].Position.X, -4);
  EXPECT_FLOAT_EQ(f[2].Pitch, 1);
}

const char* const DoorCog =
    "# a door\nsymbols\nmessage activated\nthing door0 linkid=1\nthing door1 linkid=1\n"
    "flex movespeed=8.0\nint status local\nflex sleeptime=2.0 desc=wait\nend\n"
    "code\nactivated:\n  MoveToFrame(door0, 1, movespeed);\n  return;\nend\n";

TEST(CogScript, NamesTheValuesOfALevelsCogLineInTheOrderOfItsSymbols) {
  const TCogScript script = ParseCogScript(DoorCog);
  ASSERT_EQ(script.Symbols.size(), 4u);  // the message and the local symbol take no value
  EXPECT_EQ(script.Symbols[0].Type, "thing");
  EXPECT_EQ(script.Symbols[3].Name, "sleeptime");
  EXPECT_TRUE(script.MovesThings);
  const TCogLine line{"00_door.cog", {"12", "-1", "4", "3.5"}};
  EXPECT_EQ(CogValue(script, line, "door0"), "12");
  EXPECT_EQ(CogValue(script, line, "movespeed"), "4");
  EXPECT_EQ(CogValue(script, line, "sleeptime"), "3.5");
  EXPECT_EQ(CogValue(script, line, "status"), "");
  // Fewer values than symbols: the rest have none.
  EXPECT_EQ(CogValue(script, TCogLine{"x.cog", {"1"}}, "movespeed"), "");
  const TCogScript still = ParseCogScript("symbols\nthing lamp\nend\ncode\nend\n");
  EXPECT_FALSE(still.MovesThings);
}

// A level of one sector around things of every kind, with its cog lines and templates.
std::string PlayLevel(int PlayerStarts) {
  std::string t =
      "SECTION: MATERIALS\nWorld materials 1\n0: wall.mat\nend\n"
      "SECTION: GEORESOURCE\nWorld vertices 4\n0: 0 0 0\n1: 1 0 0\n2: 1 1 0\n3: 0 1 0\n"
      "World texture vertices 1\n0: 0 0\nWorld adjoins 0\nWorld surfaces 2\n"
      "0: 0 0x4 0 4 3 0 -1 0 3 0,0 1,0 2,0 1 1 1\n1: 0 0x4 0 4 3 0 -1 0 3 0,0 2,0 3,0 1 1 1\n"
      "0: 0 0 1\n1: 0 0 1\n"
      "SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nSURFACES 0 2\n"
      "Section: cogscripts\nWorld scripts 1\n0: 00_door.cog\nend\n"
      "Section: cogs\nWorld cogs 2\n#Num Script Symbol values\n"
      "0: 00_door.cog 6 -1 4 3\n1: nothere.cog 7\nend\n"
      "Section: TEMPLATES\nWorld templates 13\n"
      "_decor none type=cog collide=1 move=path\n_structure _decor collide=3\n"
      "_actor none type=actor\n_powerup none type=item\n"
      "door _structure model3d=d.3do\ncrate _structure model3d=k.3do\ncatwalk _structure "
      "model3d=c.3do soundclass=med_elev.snd\n"
      "bryarpistol _powerup model3d=b.3do cog=pow_bryar.cog\n"
      "strifle_m bryarpistol cog=pow_strifle_m.cog\n"
      "backpack _powerup model3d=p.3do cog=pow_backpack.cog\n"
      "stormtroop _actor model3d=st.3do cog=actor_st.cog\nmonster _actor model3d=m.3do\n"
      "redflag _decor model3d=f.3do\nwalkplayer _actor type=player\nend\n";
  const std::vector<std::string> things = {
      "door 0.5 0.5 0.1 0 0 0 0 numframes=2 frame=(.5/.5/.1:0/0/0) frame=(.5/.5/.4:0/0/0)",
      "door 0.5 0.5 0.1 0 0 0 0 numframes=3 frame=(.5/.5/.1:0/0/0) frame=(.5/.5/.4:0/0/0) "
      "frame=(.6/.5/.4:0/0/0)",
      "door 0.5 0.5 0.1 0 0 0 0 numframes=2 frame=(.5/.5/.1:0/0/0) frame=(.5/.5/.1:0/90/0)",
      "door 0.5 0.5 0.1 0 0 0 0 numframes=2 frame=(.5/.5/.1:0/0/0) frame=(.5/.5/.1:0/0/0)",
      "catwalk 0.5 0.5 0.1 0 0 0 0",
      "bryarpistol 0.5 0.5 0.1 0 0 0 0",
      "crate 0.5 0.5 0.1 0 0 0 0",
      "strifle_m 0.5 0.5 0.1 0 0 0 0",
      "backpack 0.5 0.5 0.1 0 0 0 0",
      "stormtroop 0.5 0.5 0.1 0 0 0 0",
      "monster 0.5 0.5 0.1 0 0 0 0",
      "redflag 0.5 0.5 0.1 0 0 0 0",
  };
  t += "SECTION: THINGS\nWorld things " + std::to_string(things.size() + PlayerStarts) + "\n";
  size_t n = 0;
  for (; n < things.size(); ++n) {
    const size_t space = things[n].find(' ');
    t += std::to_string(n) + ": " + things[n].substr(0, space) + " x" + things[n].substr(space) +
         "\n";
  }
  for (int i = 0; i < PlayerStarts; ++i)
    t += std::to_string(n++) + ": walkplayer x 0.5 0.5 0.1 0 0 0 0\n";
  return t + "end\n";
}

TEST(ThingPlan, EachThingBecomesWhatPlaysItsPartAndWhatStaysSaysWhy) {
  TJKLevel level;
  const std::string text = PlayLevel(1);
  level.LoadFromText(text.data(), text.size());
  ASSERT_EQ(level.Cogs.size(), 2u);  // the scripts' list is not the cogs' section
  EXPECT_EQ(level.Cogs[0].File, "00_door.cog");
  EXPECT_EQ(level.Cogs[0].Values, (std::vector<std::string>{"6", "-1", "4", "3"}));
  ASSERT_EQ(level.Things.Objects(0)->Params.size(), 3u);

  const TCogScript door = ParseCogScript(DoorCog);
  const TCogSource cogs = [&](const std::string& File) {
    return File == "00_door.cog" ? &door : nullptr;
  };
  const TThingsPlan plan = PlanThings(level, cogs, true);
  ASSERT_EQ(plan.Things.size(), 13u);
  EXPECT_TRUE(plan.SinglePlayer);
  struct TCase {
    int Thing;
    TThingRole Role;
    TThingStay Stay;
    const char* Class;
    bool Moves;
  };
  const TCase cases[] = {
      {0, TThingRole::Door, TThingStay::None, "", true},
      {1, TThingRole::Train, TThingStay::None, "", true},
      {2, TThingRole::Model, TThingStay::Turns, "", true},
      {3, TThingRole::Model, TThingStay::StandsStill, "", true},
      // A catwalk that sounds like a lift but never moves keeps its clip.
      {4, TThingRole::Model, TThingStay::None, "", false},
      {5, TThingRole::Pickup, TThingStay::None, "weapon_blaster_pistol", false},
      // No frames, but a cog that moves things names it: it moves, at rest.
      {6, TThingRole::Model, TThingStay::None, "", true},
      {7, TThingRole::Pickup, TThingStay::None, "weapon_blaster", false},
      {8, TThingRole::Model, TThingStay::UnknownItem, "", false},
      {9, TThingRole::Actor, TThingStay::None, "NPC_Stormtrooper", false},
      {10, TThingRole::Model, TThingStay::UnknownActor, "", false},
      {11, TThingRole::TeamFlag, TThingStay::None, "team_CTF_redflag", false},
      {12, TThingRole::PlayerStart, TThingStay::None, "", false},
  };
  for (const TCase& c : cases) {
    const TThingPlan& p = plan.Things[static_cast<size_t>(c.Thing)];
    EXPECT_EQ(p.Role, c.Role) << "thing " << c.Thing;
    EXPECT_EQ(p.Stay, c.Stay) << "thing " << c.Thing;
    EXPECT_EQ(p.Class, c.Class) << "thing " << c.Thing;
    EXPECT_EQ(p.Moves, c.Moves) << "thing " << c.Thing;
  }
  EXPECT_EQ(plan.Things[6].Cog, 0);
  EXPECT_DOUBLE_EQ(plan.Things[6].Speed, 4);
  EXPECT_DOUBLE_EQ(plan.Things[6].Wait, 3);
  EXPECT_EQ(plan.Things[0].Cog, -1);  // no cog names it: the frames alone decide
  EXPECT_EQ(plan.Things[0].Speed, -1);

  // Not asked to play: the roles of today, the same decision of what moves.
  const TThingsPlan still = PlanThings(level, cogs, false);
  for (int i : {0, 1, 5, 9, 11})
    EXPECT_EQ(still.Things[static_cast<size_t>(i)].Role, TThingRole::Model);
  EXPECT_TRUE(still.Things[6].Moves);
  EXPECT_FALSE(still.Things[4].Moves);

  // Two player starts: a multiplayer level keeps its actors out.
  TJKLevel multi;
  const std::string text2 = PlayLevel(2);
  multi.LoadFromText(text2.data(), text2.size());
  const TThingsPlan mp = PlanThings(multi, cogs, true);
  EXPECT_FALSE(mp.SinglePlayer);
  EXPECT_EQ(mp.Things[9].Role, TThingRole::Model);
  EXPECT_EQ(mp.Things[9].Stay, TThingStay::Multiplayer);
}

TEST(ThingTables, PickupsActorsAndTeamsByTheirCogOrTemplate) {
  EXPECT_EQ(PickupClass("POW_RAILGUN.COG", "x"), "weapon_rocket_launcher");
  EXPECT_EQ(PickupClass("pow_health_m.cog", "x"), "item_medpak_instant");
  EXPECT_EQ(PickupClass("level_own.cog", "keyred"), "item_security_key");
  EXPECT_EQ(PickupClass("pow_backpack.cog", "backpack"), "");
  EXPECT_EQ(ActorClass("actor_io.cog", {"iofficer"}), "NPC_ImpOfficer");
  EXPECT_EQ(ActorClass("", {"rstorm", "stormtroop", "_humanactor"}), "NPC_Stormtrooper");
  EXPECT_EQ(ActorClass("actor_gg.cog", {"gamguard", "_humanactor"}), "");
  EXPECT_EQ(TeamClass("goldflag", false), "team_CTF_blueflag");
  EXPECT_EQ(TeamClass("redplayer", true), "team_CTF_redplayer");
  EXPECT_EQ(TeamClass("redflag_goldbase", false), "");  // both teams: neither
  EXPECT_EQ(TeamClass("walkplayer", true), "");
}

}  // namespace
