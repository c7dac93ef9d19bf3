// Keeps a module library valid while its folder has no source for this build.
