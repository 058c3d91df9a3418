// The module's translation unit; its code, entry point included, comes from vellum_plugin.
