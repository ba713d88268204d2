// A module loaded at run time by platform_resource_test; it holds only resources.
