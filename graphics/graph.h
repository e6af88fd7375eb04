// Graph handles: the graph manager's start and end and the table queries
// the screen layer needs. Graph records come with the graph layer; until
// then the table stays empty.
#pragma once

int StartGraphManager();
int EndGraphManager();
// 1 while the manager is started.
int IsGraphManagerStarted();
// 1 when graphs may use Direct3D (set by the manager's start).
int IsDirect3DUsable();
int DeleteAllGraphHandles(int log);
int IsGraphHandleValid(int graph);
// -2 and -4 give the screen size; a bad handle answers -1 and leaves the
// outputs untouched.
int GetGraphDimensions(int graph, int* width, int* height);
int SetGraphRestoreFunction(void (*callback)());
int HasRestoreCallback();
int MarkGraphsLostAndRestore();
// When the manager is started, restores the output surfaces and every
// graph's lost surfaces; 0.
int ReloadAllGraphSurfaces();
