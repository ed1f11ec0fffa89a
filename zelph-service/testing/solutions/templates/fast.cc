{
  "app": "zelph-project-configuration",
  "id": "7e3a0000-0000-4000-8000-000000000001",
  "caption": "Fast",
  "description": "the demo, tuned for speed",
  "chain_id": "5a110000-0000-4000-8000-000000000001",
  "settings": {}
}
