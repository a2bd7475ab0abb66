// Keeps a subsystem library valid while its folder is still empty.
