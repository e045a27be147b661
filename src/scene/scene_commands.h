// The script's way into the scene: the component commands and the expression functions that
// read and change scene objects.
#pragma once

namespace kova {

class CommandFactory;
class TSysFuncMan;
class TKovaBaseList;

// BoxNew, GetProp, SetProp and ObjDel. They reach the scene through the interpreter's scene
// link, which must be a TKovaBaseList for them to act.
void RegisterSceneCommands(CommandFactory& f);

// GetProp, SetProp, Exists and the property types of GetProp's result, bound to one scene.
void RegisterSceneFunctions(TSysFuncMan& funcs, TKovaBaseList& scene);

}  // namespace kova
