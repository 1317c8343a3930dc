// The tables from the game's pickups, actors and team things to Jedi Knight II's entities. The
// README lists the same pairs.
#include <cstring>

#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "things/ThingPlan.h"

namespace {

struct TPair {
  const char* From;
  const char* To;
};

// By the pickup's cog without ".cog" (a multiplayer variant "_m" counts as its base).
constexpr TPair Pickups[] = {
    {"pow_bryar", "weapon_blaster_pistol"},
    {"pow_strifle", "weapon_blaster"},
    {"pow_crossbow", "weapon_bowcaster"},
    {"pow_repeater", "weapon_repeater"},
    {"pow_railgun", "weapon_rocket_launcher"},
    {"pow_concrifle", "weapon_flechette"},
    {"pow_single_thermal", "weapon_thermal"},
    {"pow_single_sequencer", "weapon_trip_mine"},
    {"pow_saber", "weapon_saber"},
    {"pow_energy", "ammo_blaster"},
    {"pow_power", "ammo_powercell"},
    {"pow_railcharges", "ammo_rockets"},
    {"pow_thermal", "ammo_thermal"},
    {"pow_sequencer", "ammo_tripmine"},
    {"pow_health", "item_medpak_instant"},
    {"pow_bacta", "item_medpac"},
    {"pow_revive", "item_medpak_instant"},
    {"pow_shields", "item_shield_sm_instant"},
    {"pow_vest", "item_shield_sm_instant"},
    {"pow_supershield", "item_shield_lrg_instant"},
    {"pow_fullshield", "item_shield_lrg_instant"},
    {"pow_mana", "ammo_force"},
    {"pow_battery", "ammo_force"},
    {"pow_powerboost", "item_force_boon"},
    {"pow_lightside", "item_enlighten_light"},
    {"pow_darkside", "item_enlighten_dark"},
    {"pow_goggles", "item_binoculars"},
    {"pow_keyred", "item_security_key"},
    {"pow_keyblue", "item_security_key"},
    {"pow_keyyellow", "item_security_key"},
};

// By the actor's cog without ".cog", else by a template of its chain.
constexpr TPair Actors[] = {
    {"actor_st", "NPC_Stormtrooper"},
    {"actor_st_adv", "NPC_Stormtrooper"},
    {"actor_sa", "NPC_StormtrooperOfficer"},
    {"actor_io", "NPC_ImpOfficer"},
    {"actor_ic", "NPC_Commando"},
    {"actor_i2", "NPC_Commando"},
    {"actor_r2", "NPC_Droid_R2D2"},
    {"actor_r5", "NPC_Droid_R5D2"},
    {"actor_gr", "NPC_Rodian"},
    {"actor_rf", "NPC_Gran"},
    {"actor_tr", "NPC_Trandoshan"},
    {"actor_wq", "NPC_Weequay"},
    {"actor_pd", "NPC_Droid_Probe"},
    {"actor_pf", "NPC_Prisoner"},
    {"actor_pm", "NPC_Prisoner"},
    {"actor_bt", "NPC_Bartender"},
    {"stormtroop", "NPC_Stormtrooper"},
    {"iofficer", "NPC_ImpOfficer"},
    {"icommando", "NPC_Commando"},
    {"r2", "NPC_Droid_R2D2"},
    {"r5", "NPC_Droid_R5D2"},
    {"goodgreedo", "NPC_Rodian"},
    {"_civilian", "NPC_Prisoner"},
};

const char* Find(const TPair* Table, size_t Count, const std::string& Key) {
  for (size_t i = 0; i < Count; ++i)
    if (rtl::SameText(Table[i].From, Key)) return Table[i].To;
  return nullptr;
}

// "pow_bryar_m.cog" -> "pow_bryar"; with Multiplayer the "_m" is dropped too.
std::string CogStem(const std::string& Cog, bool Multiplayer) {
  std::string stem = rtl::LowerCase(rtl::ChangeFileExt(Cog, ""));
  if (Multiplayer && stem.size() > 2 && stem.compare(stem.size() - 2, 2, "_m") == 0)
    stem.resize(stem.size() - 2);
  return stem;
}

}  // namespace

std::string PickupClass(const std::string& Cog, const std::string& Template) {
  constexpr size_t n = sizeof Pickups / sizeof Pickups[0];
  for (bool multi : {false, true})
    if (const char* to = Find(Pickups, n, CogStem(Cog, multi))) return to;
  // A key is known by its template ("keyred") when its cog is a level's own.
  if (const char* to = Find(Pickups, n, "pow_" + rtl::LowerCase(Template))) return to;
  return std::string();
}

std::string ActorClass(const std::string& Cog, const std::vector<std::string>& Chain) {
  constexpr size_t n = sizeof Actors / sizeof Actors[0];
  if (!Cog.empty())
    if (const char* to = Find(Actors, n, CogStem(Cog, false))) return to;
  for (const std::string& name : Chain)
    if (const char* to = Find(Actors, n, name)) return to;
  return std::string();
}

std::string TeamClass(const std::string& Template, bool PlayerStart) {
  const std::string t = rtl::LowerCase(Template);
  const bool red = t.find("red") != std::string::npos;
  const bool blue = t.find("gold") != std::string::npos || t.find("blue") != std::string::npos;
  if (red == blue) return std::string();
  const std::string team = red ? "red" : "blue";
  if (PlayerStart) return "team_CTF_" + team + "player";
  if (t.find("flag") != std::string::npos) return "team_CTF_" + team + "flag";
  return std::string();
}
