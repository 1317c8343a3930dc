#include "texture/ShaderScript.h"

#include <cctype>

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

}  // namespace

std::string ShaderScript(const std::vector<TShaderEntry>& Entries) {
  std::string out;
  for (const TShaderEntry& e : Entries) {
    out += "textures/" + e.Name + "\n{\n";
    out += "\tqer_editorimage " + e.Image + "\n";
    if (e.Sky) {
      // The level's sky is one picture drawn far away: the cloud layer of a sky without boxes.
      out +=
          "\tsurfaceparm sky\n\tsurfaceparm noimpact\n\tsurfaceparm nolightmap\n"
          "\tskyparms - 512 -\n";
      out += "\t{\n\t\tmap " + e.Image + "\n\t}\n}\n";
      continue;
    }
    if (e.Invisible) {
      // The editor shows the space faintly; the game draws nothing and lights nothing of it.
      out += "\tqer_trans 0.3\n\tsurfaceparm trans\n";
      if (e.NonSolid) out += "\tsurfaceparm nonsolid\n";
      if (e.Water) out += "\tsurfaceparm water\n";
      out += "\tsurfaceparm nodraw\n\tsurfaceparm nolightmap\n}\n";
      continue;
    }
    if (e.Translucent) out += "\tqer_trans 0.5\n";
    out += "\tsurfaceparm trans\n";
    if (e.NonSolid) out += "\tsurfaceparm nonsolid\n";
    if (e.Water) out += "\tsurfaceparm water\n";
    if (e.Translucent) {
      // The game blends its translucent surfaces at about half, lit as the walls around them: the
      // blend, then the lightmap over it.
      out += "\t{\n\t\tmap " + e.Image +
             "\n\t\tblendFunc GL_SRC_ALPHA GL_ONE_MINUS_SRC_ALPHA\n\t\talphaGen const 0.5\n"
             "\t\trgbGen identity\n\t}\n";
      out +=
          "\t{\n\t\tmap $lightmap\n\t\tblendFunc GL_DST_COLOR GL_ZERO\n\t\trgbGen identity\n"
          "\t}\n}\n";
    } else {
      // Opaque, lit like a wall; only the sectors behind it stay visible.
      out += "\t{\n\t\tmap $lightmap\n\t\trgbGen identity\n\t}\n";
      out += "\t{\n\t\tmap " + e.Image +
             "\n\t\tblendFunc GL_DST_COLOR GL_ZERO\n\t\trgbGen identity\n\t}\n}\n";
    }
  }
  return out;
}

std::string AddToShaderList(const std::string& List, const std::string& Script) {
  const std::string wanted = Lower(Script);
  size_t start = 0;
  while (start < List.size()) {
    size_t end = List.find_first_of("\r\n", start);
    if (end == std::string::npos) end = List.size();
    std::string line = Lower(Trim(List.substr(start, end - start)));
    const std::string ext = ".shader";
    if (line.size() > ext.size() && line.compare(line.size() - ext.size(), ext.size(), ext) == 0)
      line.resize(line.size() - ext.size());
    if (line == wanted) return List;
    start = end + 1;
  }
  std::string out = List;
  // The list's own line ends are kept for the new line.
  const std::string eol = List.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += eol;
  return out + Script + eol;
}
