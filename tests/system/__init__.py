"""The Wine harness: sessions (wine), simulated printers (printer), the tool as a user meets it
(tool), its texts (texts) and the system scenarios (scenarios)."""
