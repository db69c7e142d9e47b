/* The installable driver is the driver archive linked whole; this file only
   gives the shared-library target a source of its own. */
typedef int tarn2_module_unit;
