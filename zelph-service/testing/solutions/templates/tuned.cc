{
  "app": "zelph-project-configuration",
  "id": "7e3a0000-0000-4000-8000-000000000004",
  "caption": "Tuned",
  "chain_id": "5a110000-0000-4000-8000-000000000007",
  "settings": {"threshold": 12, "label": "tuned"}
}
